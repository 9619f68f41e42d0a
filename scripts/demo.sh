#!/usr/bin/env bash
# Sets the machine up, builds hoshibako-cli and converts the demo song folder
# into build/demo-output, then shows the result table.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build/demo -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DHOSHIBAKO_TESTS=OFF -DHOSHIBAKO_BENCH=OFF -DHOSHIBAKO_UI=OFF >/dev/null
cmake --build build/demo --target hoshibako-cli -j "${HOSHIBAKO_JOBS:-2}"

# A fresh output folder each time, so the table shows this run alone.
rm -rf build/demo-output
mkdir -p build/demo-output
# Run inside build/ so that the run log (hoshibako.log) lands there.
cd build
./demo/src/cli/hoshibako-cli -a ../examples/demo-song demo-output
echo
echo "Output in build/demo-output; run log in build/hoshibako.log"
