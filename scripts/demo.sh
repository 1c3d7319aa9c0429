#!/usr/bin/env bash
# The main job: builds Tolvak (Release), sets up a demo station in demo/ with generated sounds
# (bed, bulletin, ending, two sponsors) and lets "another system" drop the hourly bulletin into
# demo/inbox/. With a display it then starts the window on that station ("Pobierz ostatni"
# produces the bulletin into demo/out/); without one it produces the finished news bulletin into
# demo/out/ headless, and shows it.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLVAK_TESTS=OFF -DTOLVAK_BENCH=OFF >/dev/null
cmake --build build/release -j"$(nproc)" --target tolvak tolvak_window tolvak_dzwieki
build/release/tolvak --help

demo="$root/demo"
rm -rf "$demo"
mkdir -p "$demo/dzwieki" "$demo/inbox" "$demo/out"

# The station's sounds and a provider's 45-second bulletin, made by our own generator.
build/release/tolvak_dzwieki "$demo/dzwieki" 45 65 >/dev/null
# The other system drops the bulletin where the local file source looks for it.
cp "$demo/dzwieki/serwis.mp3" "$demo/inbox/serwis.mp3"

cat > "$demo/tolvak.ini" <<INI
[Ustawienia]
CzyZPliku=1
ZPlikuSciezka=$demo/inbox/serwis.mp3
FolderZapisu=$demo/out/
SerwisPodklad=$demo/dzwieki/podklad.wav
SerwisZakonczenie=$demo/dzwieki/zakonczenie.wav
StartDzwiekuSerwisu=88200
PogodaPodklad=$demo/dzwieki/podklad.wav
PogodaZakonczenie=$demo/dzwieki/zakonczenie.wav
StartDzwiekuPogody=44100
NazwaWynikowaTyp=1
FormatZapisu=1
[Kompresja]
PlikZrodlowy=0
PlikWynikowy=0
[PogodaSponsorzy]
Sponsor1Przed=$demo/dzwieki/sponsor1.wav
Sponsor1Po=$demo/dzwieki/sponsor2.wav
INI

# A machine without a network still runs the demo: the connection test is forced on.
export TOLVAK_ONLINE=1

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "== The window on the demo station (close it to end the demo)"
  audio=()
  # A workstation without a sound card still shows the window; only the editor's playback is off.
  grep -q '[0-9]' /proc/asound/cards 2>/dev/null || audio=(--no-audio)
  exec build/release/tolvak --dir demo "${audio[@]}"
fi

echo "== News from the local file source"
build/release/tolvak --dir demo --produce News --verbose
# Weather, framed by the two sponsors, from a file named by the operator.
echo "== Weather with sponsors, from a named file"
build/release/tolvak --dir demo --produce Pogoda --input "$demo/dzwieki/serwis.mp3" --verbose

delivered=$(ls -t "$demo"/out/N_*.mp3 | head -n 1)
echo "== Delivered"
ls -l "$demo/out"
echo "$delivered"
