#!/usr/bin/env bash
# Sets up the machine, builds Pagewarden and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPAGEWARDEN_BUILD_TESTS=OFF \
  -DPAGEWARDEN_BUILD_BENCH=OFF >/dev/null
cmake --build build --target pagewarden

# Without a display Pagewarden still runs, on Qt's offscreen platform.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: starting Pagewarden on the offscreen platform."
  export QT_QPA_PLATFORM=offscreen
fi
exec build/src/pagewarden "$@"
