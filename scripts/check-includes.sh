#!/usr/bin/env bash
# Fails when a library folder includes a header from a folder above its own.
#   scripts/check-includes.sh SOURCE_DIR FOLDER...
# The folders come bottom to top; the build passes TIDE_LAYERS from the top-level CMakeLists.txt (the
# include_layers test), so the order is written in one place. Run it with `ctest -R include_layers`.
set -uo pipefail
root=$1
shift
declare -A floor
n=0
for dir in "$@"; do
  if [ ! -d "$root/$dir" ]; then
    echo "no folder $dir/ in $root" >&2
    exit 2
  fi
  floor[$dir]=$((n++))
done

bad=0
for dir in "$@"; do
  # file:line:#include "folder/header.h" (or <folder/header.h>); headers of the same folder may go
  # without a path, and system headers name no folder of ours.
  while IFS=: read -r file line text; do
    target=${text#*[\"<]}
    target=${target%%/*}
    if [ -n "${floor[$target]+set}" ] && ((floor[$target] > floor[$dir])); then
      echo "$file:$line: $dir/ must not include from $target/, which sits above it"
      bad=1
    fi
  done < <(cd "$root" && grep -rnoE '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<][^">]*' "$dir")
done
if [ "$bad" -ne 0 ]; then
  echo "The library folders, bottom to top: $*"
  exit 1
fi
echo "$n folders, no upward include"
