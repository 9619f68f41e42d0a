#!/usr/bin/env bash
# Fails when a tracked C++ file differs from what clang-format 14 makes of it
# under the repository's .clang-format. To fix a file: clang-format -i FILE.
set -euo pipefail
cd "$(dirname "$0")/.."

format=${CLANG_FORMAT:-clang-format-14}
command -v "$format" >/dev/null || format=clang-format
# Another version formats some constructs differently, so it is refused.
if ! "$format" --version | grep -q 'version 14\.'; then
  echo "check-format: needs clang-format 14, found: $("$format" --version)" >&2
  exit 1
fi
git ls-files -z -- '*.cpp' '*.h' | xargs -0 "$format" --style=file --dry-run -Werror
echo "check-format: every C++ file is formatted"
