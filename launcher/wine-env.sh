# Sourced by every script that runs Windows programs, after it has set
# KORVEL_WIN_ARCH (x86 or x64; launcher/wine-arch decides which) and WINEPREFIX.
# Sets korvel_loader and korvel_wineserver and exports what every run shares:
# the prefix's kind, no debug chatter, and no offer to install Mono or Gecko,
# which nothing here uses.
#
# The loaders are called directly: /usr/bin/wine takes the 32-bit one whenever
# it is installed, also on a kernel that cannot run it. KORVEL_WINE_LOADER_X86
# and KORVEL_WINE_LOADER_X64 put stand-ins in their place.
case "${KORVEL_WIN_ARCH:-}" in
  x86) korvel_loader=${KORVEL_WINE_LOADER_X86:-/usr/lib/wine/wine} WINEARCH=win32 ;;
  x64) korvel_loader=${KORVEL_WINE_LOADER_X64:-/usr/lib/wine/wine64} WINEARCH=win64 ;;
  *) echo "KORVEL_WIN_ARCH must be x86 or x64, not '${KORVEL_WIN_ARCH:-}'" >&2; exit 2 ;;
esac
korvel_wineserver=${KORVEL_WINESERVER:-/usr/lib/wine/wineserver}
# The processes Wine starts on its own take the same loader.
WINELOADER=$korvel_loader
export KORVEL_WIN_ARCH WINEPREFIX WINEARCH WINELOADER WINEDEBUG=-all \
  WINEDLLOVERRIDES="mscoree,mshtml="
# Debian's Wine makes its server a new folder in TMPDIR each time the server
# starts, and leaves it there: those are kept beside the prefix and go when
# the prefix's Wine is ended (wine-exec --kill).
if [ -n "${WINEPREFIX:-}" ]; then
  TMPDIR=$WINEPREFIX.tmp
  mkdir -p "$TMPDIR"
  export TMPDIR
fi
