#!/bin/sh
# on-path.sh PREFIX: said at the end of make install. Where the programs went,
# and, when that folder is not on PATH, that the shell will not find them by
# name and how to put it there; also when another korvel-program comes first.
set -eu

bin=$(cd "$1/bin" && pwd -P)

found=""
rest=$PATH
while [ -n "$rest" ]; do
  dir=${rest%%:*}
  case "$rest" in *:*) rest=${rest#*:} ;; *) rest="" ;; esac
  [ -n "$dir" ] && [ -d "$dir" ] || continue
  if [ "$(cd "$dir" && pwd -P)" = "$bin" ]; then found=1; break; fi
done

if [ -n "$found" ]; then
  runs=$(command -v korvel-program || true)
  if [ -n "$runs" ] && [ "$(cd "$(dirname "$runs")" && pwd -P)" != "$bin" ]; then
    echo "korvel-program and korvel-unit are installed in $bin, but 'korvel-program' runs $runs, which comes first on your PATH."
  else
    echo "korvel-program and korvel-unit are installed in $bin, on your PATH: 'man korvel-program' tells the rest."
  fi
  exit 0
fi

# Written with $HOME where it is under it, so that the line can go into ~/.profile as it stands.
shown=$bin
case "$bin" in "$(cd "$HOME" && pwd -P)"/*) shown="\$HOME${bin#"$(cd "$HOME" && pwd -P)"}" ;; esac
cat <<TEXT
korvel-program and korvel-unit are installed in $bin, which is not on your PATH:
until it is, the shell answers "korvel-program: command not found" (run it as
$bin/korvel-program meanwhile). To put it there in this shell:
  export PATH="$shown:\$PATH"
and for the shells to come, add that line to ~/.profile and log in again.
TEXT
case "$shown" in
  '$HOME/.local/bin') echo "(Debian's and Ubuntu's own ~/.profile adds ~/.local/bin at login once it exists: logging in again may be all it takes.)" ;;
esac
