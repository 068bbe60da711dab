#!/usr/bin/env bash
# Installs what is needed, builds, starts the device simulator with four
# cameras (H.264 D1, H.264 720p, MPEG-4 CIF, Motion JPEG) on free loopback
# ports and the client showing them. Extra arguments go to the client (for
# example --quit-after 3000). The simulator stops when the client ends.
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

SIMOUT=$(mktemp)
"$BUILD/tools/devsim/vzDevSim" --port 0 --state "$XDG_RUNTIME_DIR/vzDevSim" \
  --device h264:d1 --device h264:720p --device mpeg4:cif --device mjpeg:vga:15:2048 >"$SIMOUT" &
SIM=$!
trap 'kill "$SIM" 2>/dev/null; wait "$SIM" 2>/dev/null; rm -f "$SIMOUT"' EXIT
for _ in $(seq 100); do
  [ "$(grep -c ' listening on ' "$SIMOUT")" -ge 4 ] && break
  kill -0 "$SIM" 2>/dev/null || { echo "run: the simulator did not start" >&2; exit 1; }
  sleep 0.1
done
CAMERAS=()
while read -r address; do CAMERAS+=(--camera "$address"); done \
  < <(sed -n 's/^device [0-9]* listening on \([0-9.]*:[0-9]*\)$/\1/p' "$SIMOUT")
[ "${#CAMERAS[@]}" -eq 8 ] || { echo "run: the simulator did not report four devices" >&2; exit 1; }
"$BUILD/client/vzSurveillance" "${CAMERAS[@]}" "$@"
