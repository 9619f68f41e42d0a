#!/usr/bin/env bash
# Fails when a file of a library under src/ includes a header of a library
# above it. The layers, bottom first; cli and app are the programs on top and
# may include any library. Tests and benchmarks are not checked.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A layer=([util]=0 [job_settings]=0 [bms]=1 [audio]=1 [image]=1 [job]=2 [ui]=3 [cli]=4 [app]=4)

status=0
for folder in src/*/; do
  own=$(basename "$folder")
  if [ -z "${layer[$own]+set}" ]; then
    echo "check-includes: src/$own has no layer; add it to $0" >&2
    status=1
    continue
  fi
  # Every quoted include that names a folder: file:line:folder.
  while IFS=: read -r file line used; do
    if [ -z "${layer[$used]+set}" ]; then
      echo "$file:$line: includes \"$used/...\", which is no library" >&2
      status=1
    elif [ "${layer[$used]}" -gt "${layer[$own]}" ]; then
      echo "$file:$line: $own (layer ${layer[$own]}) includes $used (layer ${layer[$used]}), a library above it" >&2
      status=1
    fi
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"/]+/' "$folder" --include='*.cpp' --include='*.h' |
             sed -E 's/^([^:]*:[0-9]+:).*include[[:space:]]*"([^"/]+)\/.*/\1\2/' || true)
done

if [ "$status" -eq 0 ]; then
  echo "check-includes: no library includes a header of a library above it"
fi
exit "$status"
