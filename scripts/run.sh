#!/usr/bin/env bash
# Installs what is needed, builds, and starts the client. Extra arguments go
# to the client (for example --quit-after 3000).
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
exec "$BUILD/client/vzSurveillance" "$@"
