#!/usr/bin/env bash
# Renders the main window (also after a failed run, and the tray menu) and each dialog under a
# virtual X server into docs/screenshots/,
# on a demo station with generated sounds.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/setup.sh
build=${TOLVAK_BUILD_DIR:-build/release}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLVAK_TESTS=OFF -DTOLVAK_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target tolvak_zrzuty tolvak_dzwieki

station=$(mktemp -d)
trap 'rm -rf "$station"' EXIT
"$build/tolvak_dzwieki" "$station" 45 65 >/dev/null
cat > "$station/tolvak.ini" <<INI
[Ustawienia]
CzyNews=1
FolderZapisu=$station/
SerwisPodklad=$station/podklad.wav
SerwisZakonczenie=$station/zakonczenie.wav
StartDzwiekuSerwisu=352800
ZPlikuSciezka=$station/serwis.mp3
NazwaWynikowaTyp=1
FormatZapisu=1
[Kompresja]
PlikZrodlowy=3
PlikWynikowy=-2
[Matryca]
INI
for d in 1 2 3 4 5; do
  for h in 6 7 8 9 10 11 12 13 14 15 16 17 18; do echo "d$d$h=1" >> "$station/tolvak.ini"; done
done
for h in 8 10 12 14 16; do echo "d6$h=1" >> "$station/tolvak.ini"; done

export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$station/run}
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
export QT_SCALE_FACTOR=1
xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" "$build/tolvak_zrzuty" "$station" "$root/docs/screenshots"
