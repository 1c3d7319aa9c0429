#!/usr/bin/env bash
# Checks the Debian package that scripts/package.sh built: lintian without errors, the files a
# station server needs, both units scored at most 2.0 by systemd-analyze security, and (as root,
# on a throw-away machine such as CI's) the package installed with apt-get, the program run on a
# fresh station, `systemd-analyze verify` of the installed units, and the purge that leaves the
# stations' folders alone. TOLVAK_CHECK_INSTALL=0 skips the installation.
set -euo pipefail
cd "$(dirname "$0")/.."

deb=${1:-$(ls -t "${TOLVAK_PACKAGE_BUILD_DIR:-build/package}"/tolvak_*.deb 2>/dev/null | head -n1)}
[ -n "$deb" ] && [ -f "$deb" ] || { echo "check-package: no package (run scripts/package.sh)" >&2; exit 1; }
deb=$(readlink -f "$deb")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "check-package: FAIL: $*" >&2; failed=1; }
ok() { echo "check-package: ok: $*"; }

# lintian: no errors (warnings are listed, not fatal).
lintian --tag-display-limit 0 "$deb" >"$work/lintian" 2>&1 || true
sed 's/^/  /' "$work/lintian"
errors=$(grep -c '^E: ' "$work/lintian" || true)
[ "$errors" -eq 0 ] && ok "lintian: no errors ($(grep -c '^W: ' "$work/lintian" || true) warnings)" ||
  fail "lintian: $errors errors"

# The files of a station server.
dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|' >"$work/files"
for f in /usr/bin/tolvak /usr/lib/tolvak/libtolvak_window.so \
  /usr/share/applications/tolvak.desktop /usr/share/icons/hicolor/scalable/apps/tolvak.svg \
  /usr/share/icons/hicolor/48x48/apps/tolvak.png /usr/share/icons/hicolor/256x256/apps/tolvak.png \
  /usr/share/man/man1/tolvak.1.gz /usr/share/man/man5/tolvak.ini.5.gz \
  /lib/systemd/system/tolvak.service /lib/systemd/system/tolvak@.service \
  /usr/share/doc/tolvak/copyright /usr/share/doc/tolvak/changelog.gz; do
  grep -qxF "$f" "$work/files" && ok "holds $f" || fail "does not hold $f"
done
dpkg-deb -e "$deb" "$work/control"
grep -q 'adduser --system' "$work/control/postinst" && ok "postinst makes the system user" ||
  fail "postinst makes no system user"
dpkg-deb -f "$deb" Depends | tr ',|' '\n\n' | sed 's/(.*//; s/ //g' >"$work/depends"
for d in adduser fonts-wine locales libqt6widgets6 libmp3lame0; do
  grep -qxF "$d" "$work/depends" && ok "depends on $d" || fail "does not depend on $d"
done

# The units as packaged, scored offline.
dpkg-deb -x "$deb" "$work/root"
for unit in tolvak.service tolvak@.service; do
  score=$(systemd-analyze security --offline=yes "$work/root/lib/systemd/system/$unit" 2>&1 |
    sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p')
  if [ -n "$score" ] && awk -v s="$score" 'BEGIN { exit !(s <= 2.0) }'; then
    ok "$unit exposure $score"
  else
    fail "$unit exposure ${score:-unknown} (at most 2.0)"
  fi
done

if [ "${TOLVAK_CHECK_INSTALL:-1}" = 0 ] || [ "$(id -u)" -ne 0 ]; then
  echo "check-package: installation skipped (needs root on a throw-away machine)"
  exit "$failed"
fi

# Installed on this machine, as a station's engineer installs it.
export DEBIAN_FRONTEND=noninteractive
apt-get install -y -qq --no-install-recommends "$deb" >"$work/apt" 2>&1 ||
  { cat "$work/apt" >&2; fail "apt-get install"; exit 1; }
ok "installed"
getent passwd tolvak >/dev/null && ok "user tolvak exists" || fail "no user tolvak"
[ "$(stat -c %U /var/lib/tolvak 2>/dev/null)" = tolvak ] && ok "/var/lib/tolvak owned by tolvak" ||
  fail "/var/lib/tolvak missing or not owned by tolvak"
/usr/bin/tolvak --help >"$work/help" && grep -q -- '--headless' "$work/help" && ok "tolvak --help" ||
  fail "tolvak --help"
# By name, so the template is verified as an instance.
for unit in tolvak.service tolvak@ci.service; do
  if systemd-analyze verify "$unit" >"$work/verify" 2>&1 && [ ! -s "$work/verify" ]; then
    ok "systemd-analyze verify $unit"
  else
    sed 's/^/  /' "$work/verify"
    fail "systemd-analyze verify $unit"
  fi
done

# The window from its library in /usr/lib/tolvak, on the per-user program folder that the
# desktop entry's plain `tolvak` gets; still running after 5 s means it loaded and started.
chmod 755 "$work"; home=$work/home; mkdir -p "$home"; chown tolvak "$home"
rc=0; runuser -u tolvak -- env -u XDG_DATA_HOME HOME="$home" XDG_RUNTIME_DIR="$home" \
  TOLVAK_ONLINE=1 QT_QPA_PLATFORM=offscreen timeout 5 /usr/bin/tolvak --no-audio >"$work/okno" 2>&1 || rc=$?
if [ "$rc" -eq 124 ] && [ -d "$home/.local/share/tolvak" ]; then
  ok "the window starts from /usr/lib/tolvak on ~/.local/share/tolvak"
else
  sed 's/^/  /' "$work/okno"
  fail "the window (exit $rc)"
fi

# A fresh station, as tolvak@ would see it.
station=/var/lib/tolvak/ci-$$
install -d -o tolvak -g tolvak -m 750 "$station" "$station/wyjscie"
printf '[Ustawienia]\nFolderZapisu=%s/wyjscie/\nCzyNews=0\n' "$station" >"$station/tolvak.ini"
chown tolvak:tolvak "$station/tolvak.ini"
as_tolvak() { runuser -u tolvak -- "$@"; }
rc=0; as_tolvak /usr/bin/tolvak --check-config --dir "$station" >"$work/cc" 2>&1 || rc=$?
sed 's/^/  /' "$work/cc"
[ "$rc" -le 2 ] && ok "tolvak --check-config on a fresh station (exit $rc)" ||
  fail "tolvak --check-config exit $rc"
rc=0; as_tolvak /usr/bin/tolvak --status --json --dir "$station" >"$work/json" 2>"$work/json.err" || rc=$?
if [ "$rc" -le 2 ] && python3 -m json.tool "$work/json" >/dev/null; then
  ok "tolvak --status --json is JSON (exit $rc)"
else
  sed 's/^/  /' "$work/json" "$work/json.err"
  fail "tolvak --status --json (exit $rc)"
fi

# Purged: the program goes, the stations' folders and their files stay.
apt-get purge -y -qq tolvak >"$work/apt" 2>&1 || { cat "$work/apt" >&2; fail "apt-get purge"; }
[ ! -e /usr/bin/tolvak ] && ok "purge removed the program" || fail "/usr/bin/tolvak left after purge"
[ -f "$station/tolvak.ini" ] && ok "purge left the station's folder" || fail "purge removed $station"
rm -rf "$station"
exit "$failed"
