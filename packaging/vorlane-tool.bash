# bash completion for vorlane-tool. Commands, options and option values are read from the
# tool's own --help, so they are always those of the installed tool.
_vorlane_tool() {
  local cur prev words cword
  _init_completion || return

  local command="" i
  for ((i = 1; i < cword; i++)); do
    [[ ${words[i]} == -* ]] || { command=${words[i]}; break; }
  done

  if [[ -z $command ]]; then
    if [[ $cur == -* ]]; then
      COMPREPLY=($(compgen -W '$(_parse_help "$1")' -- "$cur"))
    else
      COMPREPLY=($(compgen -W '$("$1" --help 2>/dev/null |
        sed -n "/^Subcommands:/,/^\$/s/^  \([a-z][a-z-]*\) .*/\1/p")' -- "$cur"))
    fi
    return
  fi

  # The option just typed, as its line of the command's help describes it.
  if [[ $prev == -* ]]; then
    local line
    line=$("$1" "$command" --help 2>/dev/null | grep -E -- "^ +([^ ]*,)?$prev(,[^ ]*)?( |\$)")
    case $line in
      *"{"*"}"*)  # one of a set of values
        local values=${line#*\{}
        values=${values%%\}*}
        COMPREPLY=($(compgen -W "${values//,/ }" -- "$cur"))
        return ;;
      *" TEXT"*)  # a file to write, or a text to type
        [[ $prev == -o || $prev == --output ]] && _filedir
        return ;;
      *" INT"* | *" FLOAT"*) return ;;
    esac
  fi

  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W '$(_parse_help "$1" "$command --help")' -- "$cur"))
    return
  fi
  case $command in
    run) [[ $prev == run ]] && _filedir lua || _filedir ;;
    scan | normals) _filedir '@(png|jpg|jpeg|bmp)' ;;
    import) _filedir '@(tmx|tmj|json)' ;;
    *) _filedir vorl ;;
  esac
} &&
  complete -F _vorlane_tool vorlane-tool
