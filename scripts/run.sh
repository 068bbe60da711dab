#!/usr/bin/env bash
# Installs what is needed, builds, and starts the client. Extra arguments go
# to the client (for example --quit-after 3000). VZ_RUN_SIM=1 also starts four
# simulated cameras (H.264 D1, H.264 720p, MPEG-4 CIF, MJPEG VGA) on
# 127.0.0.1 ports 5000 ... 5003 (VZ_SIM_PORT moves them) for as long as the client runs.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=${VZ_BUILD_DIR:-$ROOT/build}/release

bash scripts/install-deps.sh
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$BUILD" --target vzSurveillance vzDevSim

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "run: no display found; starting the client on the offscreen platform" >&2
  export QT_QPA_PLATFORM=offscreen
fi
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/runtime-$(id -u)}
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
if [ "${VZ_RUN_SIM:-0}" = 1 ]; then
  # Four simulated cameras on 127.0.0.1:5000 ... 5003 beside the client.
  "$BUILD/tools/devsim/vzDevSim" --port "${VZ_SIM_PORT:-5000}" --state "$XDG_RUNTIME_DIR/vzDevSim" \
    --device h264:d1 --device h264:720p --device mpeg4:cif --device mjpeg:vga &
  SIM_PID=$!
  trap 'kill "$SIM_PID" 2>/dev/null; wait "$SIM_PID" 2>/dev/null' EXIT
  "$BUILD/client/vzSurveillance" "$@"
  exit $?
fi
exec "$BUILD/client/vzSurveillance" "$@"
