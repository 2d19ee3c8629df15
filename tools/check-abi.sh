#!/bin/bash
# Compares a shared object's exported functions with the names of its .def file.
set -eu
so=$1 def=$2
want=$(sed -n 's/^[[:space:]]*\([A-Za-z_][A-Za-z0-9_]*\)[[:space:]]\{1,\}@[0-9]\{1,\}.*/\1/p' "$def" | sort)
have=$(nm -D --defined-only "$so" | awk '$2=="T"||$2=="W"{print $3}' | grep -v '^_init$\|^_fini$' | sort)
if [ "$want" != "$have" ]; then
  echo "exports of $so differ from $def:"
  diff -u <(echo "$want") <(echo "$have") 2>/dev/null || { echo "want:"; echo "$want"; echo "have:"; echo "$have"; }
  exit 1
fi
echo "$(echo "$want" | wc -l) exports match $def"
