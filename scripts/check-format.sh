#!/usr/bin/env bash
# Fails when a C++ source of ours differs from the checked-in .clang-format style.
set -euo pipefail
cd "$(dirname "$0")/.."

git ls-files -z '*.h' '*.cpp' | xargs -0 -r clang-format-14 --dry-run --Werror
