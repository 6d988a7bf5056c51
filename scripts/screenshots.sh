#!/usr/bin/env bash
# Takes the screenshots in docs/ on a virtual display (Xvfb), so they look the same everywhere.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target make_screenshots
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x800x24 -dpi 96" \
  build/tools/screenshots/make_screenshots docs
