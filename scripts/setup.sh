#!/usr/bin/env bash
# Installs every build and test dependency from Debian 12 packages. Idempotent; run as root.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  libsndfile1-dev libmpg123-dev libmp3lame-dev libsoxr-dev libebur128-dev
  libtag1-dev libtagc0-dev
  libcurl4-openssl-dev libssl-dev
  libpugixml-dev
  nlohmann-json3-dev
  portaudio19-dev
  qt6-base-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  python3 python3-pyftpdlib faketime
  curl
  ffmpeg
  xvfb xauth fonts-dejavu-core fonts-wine qt6-translations-l10n
  locales
  scdoc dpkg-dev lintian systemd fonts-wine
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: missing packages: ${missing[*]} (run as root to install them)" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
# The Polish locale, for the tests of the regional date and time (LC_TIME=pl_PL.UTF-8).
if ! locale -a 2>/dev/null | grep -qix 'pl_PL.utf8'; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: the pl_PL.UTF-8 locale is missing (run as root to generate it)" >&2
    exit 1
  fi
  localedef -i pl_PL -f UTF-8 pl_PL.UTF-8
fi
echo "setup: all dependencies present"
