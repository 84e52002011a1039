#!/usr/bin/env bash
# The bash completion of vorlane-tool, with bash-completion's own functions, on the tool of
# the build folder: the line typed so far, and what Tab offers.
# Usage: completion_test.sh SOURCE BIN
set -uo pipefail
source /usr/share/bash-completion/bash_completion
source "$(realpath "$1")/packaging/vorlane-tool.bash"
PATH="$(realpath "$2"):$PATH"
cd "$(mktemp -d)" || exit 1
trap 'rm -rf "$PWD"' EXIT
touch level.vorl tiles.png script.lua notes.txt

offered() {
  local line=$1
  COMP_LINE=$line COMP_POINT=${#line}
  read -ra COMP_WORDS <<<"$line"
  [[ $line == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _vorlane_tool vorlane-tool "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//'
}

fail=0
while IFS='|' read -r line expected; do
  got=$(offered "$line")
  [ "$got" = "$expected" ] || { echo "'$line': offered '$got', expected '$expected'"; fail=1; }
done <<'CASES'
vorlane-tool |bake check export import info normals png run scan
vorlane-tool --|--help --version
vorlane-tool b|bake
vorlane-tool bake --s|--soft
vorlane-tool bake --c|--cast-shadows-flags
vorlane-tool bake |level.vorl
vorlane-tool bake level.vorl -o |level.vorl notes.txt script.lua tiles.png
vorlane-tool bake level.vorl --width |
vorlane-tool export level.vorl --format |png tmj tmx
vorlane-tool export level.vorl --encoding z|zlib zstd
vorlane-tool run |script.lua
vorlane-tool scan |tiles.png
vorlane-tool info --|--help --json
CASES
exit $fail
