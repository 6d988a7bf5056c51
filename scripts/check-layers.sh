#!/usr/bin/env bash
# Checks the include direction that docs/ARCHITECTURE.md states: the folders of src/ stand in the
# numbered order given there, and a folder includes headers only of itself and of folders before
# it. So no file outside src/app/ includes a header of src/app/. Prints every include that breaks
# the order and fails when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

# shellcheck disable=SC2016 # the backquotes are the document's, not the shell's
mapfile -t order < <(sed -n 's/^[0-9]\+\. `\([a-z]\+\)\/`.*/\1/p' docs/ARCHITECTURE.md)
[ "${#order[@]}" -gt 1 ] || { echo "layers: no order found in docs/ARCHITECTURE.md" >&2; exit 1; }
declare -A rank
for i in "${!order[@]}"; do rank[${order[$i]}]=$i; done

bad=0
while IFS=: read -r file _ include; do
  from="${file#src/}"
  from="${from%%/*}"
  to="$(sed -n 's/.*#include "\([a-z]\+\)\/.*/\1/p' <<<"$include")"
  if [ -n "${rank[$from]:-}" ] && [ -n "${rank[$to]:-}" ] && [ "${rank[$to]}" -gt "${rank[$from]}" ]; then
    echo "layers: $file includes $to/, which stands above $from/" >&2
    bad=1
  fi
done < <(grep -rn --include='*.cpp' --include='*.h' '#include "[a-z]\+/' src)
exit "$bad"
