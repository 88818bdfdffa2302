# Bash completion for korvel-program.
#
# The options come from the program's own --help at each Tab, so an option
# is completed as soon as --help lists it ("  --name VALUE  what it does",
# the value's name in capitals). A FILE is completed from file names, a
# PORT from the ports --list-ports finds, their stable /dev/serial/by-id
# names first; a path or a serial server's address (socket://, rfc2217://)
# may always be typed instead.

# One line per option: its name and, if it takes one, its value's name.
_korvel_program_options() {
  local short='\(-[a-zA-Z], \)\{0,1\}' long='\(--[a-z][a-z0-9-]*\)'
  local value='\( [A-Z][A-Z0-9]*\)\{0,1\}' rest='\( .*\)\{0,1\}'
  "$1" --help 2>/dev/null | sed -n "s/^  $short$long$value$rest\$/\\2\\3/p"
}

_korvel_program_ports() {
  local listed
  listed=$("$1" --list-ports --json 2>/dev/null)
  sed -n 's/.*"by_id":"\([^"]*\)".*/\1/p' <<<"$listed"
  sed -n 's/^{"port":"\([^"]*\)".*/\1/p' <<<"$listed"
  printf '%s\n' socket:// rfc2217://
}

_korvel_program() {
  local program=${1/#\~/$HOME} cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
  local i name value options=() wants=""
  COMPREPLY=()
  # After "--" every word is a line of the message.
  for ((i = 1; i < COMP_CWORD; i++)); do
    [[ ${COMP_WORDS[i]} == -- ]] && return 0
  done
  while read -r name value; do
    options+=("$name")
    [[ $name == "$prev" ]] && wants=$value
  done < <(_korvel_program_options "$program")

  case $wants in
    PORT)
      compopt -o nosort
      while read -r name; do
        [[ $name == "$cur"* ]] && COMPREPLY+=("$name")
      done < <(_korvel_program_ports "$program")
      if ((${#COMPREPLY[@]} == 1)) && [[ ${COMPREPLY[0]} == *:// ]]; then
        compopt -o nospace
      elif ((${#COMPREPLY[@]} == 0)) && [[ $cur == */* ]]; then
        compopt -o filenames
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      fi
      ;;
    FILE)
      compopt -o filenames
      mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      ;;
    "")
      if [[ $cur == -* ]]; then
        for name in "${options[@]}"; do
          [[ $name == "$cur"* ]] && COMPREPLY+=("$name")
        done
      fi
      ;;
  esac
}

complete -F _korvel_program korvel-program
