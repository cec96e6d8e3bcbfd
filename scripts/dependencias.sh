#!/usr/bin/env bash
# Installs the Debian packages the robot needs to build, test and run.
# Does nothing when they are all present, so it is cheap to call every time.
set -euo pipefail

paquetes=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-serialport-dev libqt6sql6-sqlite libqt6svg6
  qt6-qpa-plugins libgl1-mesa-dev
  sqlite3 xvfb xauth python3 ccache
  postgresql libqt6sql6-psql
  clang libclang-rt-14-dev
  # The status endpoint (Debian's qt6-httpserver-dev needs the WebSockets
  # development files without depending on them); promtool checks /metrics.
  qt6-httpserver-dev qt6-websockets-dev prometheus
)

faltan=()
for p in "${paquetes[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || faltan+=("$p")
done

if [ ${#faltan[@]} -gt 0 ]; then
  echo "Installing: ${faltan[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get update
  $sudo_cmd apt-get install -y --no-install-recommends "${faltan[@]}"
fi
