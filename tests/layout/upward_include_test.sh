#!/usr/bin/env bash
# The include check passes a tree that includes only downwards, and fails the same tree with one upward
# include, naming its file and line.
set -u
check=$1
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir "$tree/low" "$tree/high"
printf '#include <cstdio>\n#include "a.h"\n#include "low/a.h"\n' >"$tree/low/a.cpp"
printf '#include "low/a.h"\n#include <high/b.h>\n' >"$tree/high/b.cpp"
"$check" "$tree" low high || { echo "FAIL: downward includes were refused"; exit 1; }

printf '// the one upward include\n  #  include <high/b.h>\n' >"$tree/low/c.h"
out=$("$check" "$tree" low high) && { echo "FAIL: an upward include passed"; exit 1; }
echo "$out"
[[ $out == *"low/c.h:2:"* ]] || { echo "FAIL: the report does not name low/c.h:2"; exit 1; }
