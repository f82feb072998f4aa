#!/usr/bin/env bash
# Sets up the machine, builds Ostrel with its tests and runs every test. GUI-capable tests need an
# X display, so the whole run happens under a virtual one. Then the sanitizer builds, the stress
# test and the fuzzers run (scripts/test-hardening.sh); OSTREL_HARDENING=0 leaves them out.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/check-format.sh
scripts/build.sh

xvfb-run -a -s "-screen 0 1920x1080x24" ctest --test-dir build --output-on-failure -j1

if [ "${OSTREL_HARDENING:-1}" != 0 ]; then
    scripts/test-hardening.sh
fi
