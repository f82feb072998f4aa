#!/usr/bin/env bash
# Sets up the machine, builds Ostrel with its tests and runs every test. GUI-capable tests need an
# X display, so the whole run happens under a virtual one.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/check-format.sh
scripts/build.sh

xvfb-run -a -s "-screen 0 1920x1080x24" ctest --test-dir build --output-on-failure -j1
