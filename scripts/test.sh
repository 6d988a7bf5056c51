#!/usr/bin/env bash
# Sets up the machine, builds Pagewarden with warnings as errors, checks the formatting, builds and
# checks the Debian package and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPAGEWARDEN_WERROR=ON >/dev/null
cmake --build build-test

echo "Checking formatting"
git ls-files -z -- '*.cpp' '*.h' | xargs -0 -r clang-format --dry-run --Werror

echo "Checking the Debian package"
bash scripts/check-package.sh build-test

cd build-test
export QT_QPA_PLATFORM=offscreen
ctest --output-on-failure -j2 --timeout 600
