#!/bin/sh
# wine-prefix.sh ARCH PREFIX GRAPHICS [COM1 [COM2 [COMn=TARGET...]]]
# Makes a private Wine prefix for ARCH (x86 or x64) if it is not there yet and
# sets its graphics ("null" for headless runs, "x11" for a window on a desktop,
# "xvfb" for a window on a display without a window manager, where Wine draws
# the frames itself) and where COM1/COM2 and any other port lead ("-" leaves
# a port unmapped).
# Wine reads the ports when its server starts. Safe to run again; quiet when
# nothing changes; says why when the prefix cannot be made.
set -eu
KORVEL_WIN_ARCH=$1 WINEPREFIX=$2
graphics=$3 com1=${4:-} com2=${5:-}
if [ $# -gt 5 ]; then shift 5; else shift $#; fi
. "$(dirname "$0")/wine-env.sh"

mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9

if [ ! -f "$WINEPREFIX/.korvel-made" ]; then
  log="$WINEPREFIX.log"
  if ! "$korvel_loader" wineboot -i >"$log" 2>&1 || ! "$korvel_wineserver" -w >>"$log" 2>&1 ||
     [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$korvel_wineserver" -k 2>/dev/null || true
    echo "wine-prefix: Wine could not make the prefix $WINEPREFIX:" >&2
    sed 's/^/  /' "$log" >&2
    echo "Check that '$korvel_loader --version' works (launcher/wine-arch --check $KORVEL_WIN_ARCH says why" \
         "it does not), then remove $WINEPREFIX and try again." >&2
    exit 1
  fi
  rm -f "$log"
  touch "$WINEPREFIX/.korvel-made"
fi

# Window captions draw their buttons with Wine's Marlett font, which Debian's
# Wine leaves out of new prefixes: the close box would show a letter "r".
fonts="$WINEPREFIX/drive_c/windows/Fonts"
if [ ! -f "$fonts/marlett.ttf" ] && [ -f /usr/share/wine/fonts/marlett.ttf ]; then
  mkdir -p "$fonts"
  cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
fi

reg() { "$korvel_loader" reg add "$@" /f >/dev/null 2>&1; }

state="classic|$graphics|$com1|$com2|$*"
if [ "$(cat "$WINEPREFIX/.korvel-state" 2>/dev/null)" != "$state" ]; then
  driver=$graphics decorated=Y
  if [ "$graphics" = xvfb ]; then driver=x11 decorated=N; fi
  reg 'HKCU\Software\Wine\Drivers' /v Graphics /d "$driver"
  reg 'HKCU\Software\Wine\X11 Driver' /v Decorated /d "$decorated"
  # The classic look the dialogs were laid out for; Wine's own theme also makes
  # every step of the progress bar several times dearer to draw.
  reg 'HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager' /v ThemeActive /d 0
  for mapping in "COM1=$com1" "COM2=$com2" "$@"; do
    port=${mapping%%=*} target=${mapping#*=}
    if [ -z "$target" ]; then continue; fi
    if [ "$target" = "-" ]; then target=""; fi
    reg 'HKLM\Software\Wine\Ports' /v "$port" /d "$target"
  done
  "$korvel_wineserver" -w
  printf '%s\n' "$state" >"$WINEPREFIX/.korvel-state"
fi
