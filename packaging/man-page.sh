#!/usr/bin/env bash
# Makes a program's manual page with help2man from the program's own --help and --version,
# so the page says what the program does. For vorlane-tool every command's --help becomes a
# subsection of COMMANDS, which lists every option of every command.
# Usage: man-page.sh BIN_DIR PROGRAM NAME_LINE INCLUDE.h2m OUTPUT.1
set -euo pipefail
bin=$1 program=$2 name=$3 include=$4 out=$5
export PATH="$bin:$PATH"  # the page shows the bare name, not the build folder
export LC_ALL=C.UTF-8
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Help text as roff kept verbatim: backslashes and dashes escaped, no line taken for a request.
roff() { sed -e 's/\\/\\e/g' -e 's/-/\\-/g' -e "s/^\\([.']\\)/\\\\\\&\\1/"; }

includes=()
if [ "$program" = vorlane-tool ]; then
  commands=$("$program" --help | sed -n '/^Subcommands:/,/^$/{/^  [a-z]/s/^  \([a-z-]*\).*/\1/p}')
  [ -n "$commands" ] || { echo "$0: no commands in '$program --help'" >&2; exit 1; }
  {
    echo "[COMMANDS]"
    for c in $commands; do
      help=$("$program" "$c" --help)
      echo ".SS $c"
      head -n 1 <<<"$help" | roff
      echo ".PP"
      echo ".nf"
      tail -n +2 <<<"$help" | roff
      echo ".fi"
    done
    # The help's closing examples, one a line.
    echo "[=EXAMPLES]"
    echo ".nf"
    "$program" --help | sed -n '/^Examples:/,$s/^  //p' | roff
    echo ".fi"
  } >"$tmp/commands.h2m"
  includes+=(--include "$tmp/commands.h2m")
fi
includes+=(--include "$include")
help2man --no-info --section 1 --name "$name" "${includes[@]}" --output "$out" "$program"
