#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Puts the licence identifier at the top of every tracked source file that lacks it: the first
# line of .cpp/.h files; in CMake files and shell scripts the first line, or the second after a
# shebang. Marked files are left alone, so it may run again at any time.
#   scripts/add-spdx.sh [checkout]      (default: this one)
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
tag="SPDX-License-Identifier: GPL-3.0-or-later"

# mark FILE COMMENT: inserts "COMMENT tag" unless the file's first two lines hold an identifier.
mark() {
  local file="$1" line="$2 $tag"
  if head -n 2 "$file" | grep -q "SPDX-License-Identifier:"; then
    return 0
  fi
  if [ ! -s "$file" ]; then
    echo "$line" >"$file"
  elif head -n 1 "$file" | grep -q '^#!'; then
    sed -i "1a $line" "$file"
  else
    sed -i "1i $line" "$file"
  fi
  echo "$file"
}

is_shell_script() { head -n 1 "$1" | grep -Eq '^#!.*[/ ](ba|da)?sh( |$)'; }

git ls-files -z | while IFS= read -r -d '' file; do
  if [ ! -f "$file" ] || [ -L "$file" ]; then continue; fi
  case "$file" in
    *.cpp | *.h) mark "$file" "//" ;;
    CMakeLists.txt | */CMakeLists.txt | *.cmake | *.sh) mark "$file" "#" ;;
    *) if is_shell_script "$file"; then mark "$file" "#"; fi ;;
  esac
done
