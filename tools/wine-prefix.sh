#!/bin/sh
# wine-prefix.sh PREFIX GRAPHICS [COM1 [COM2]]
# Makes a private 32-bit Wine prefix if it is not there yet and sets its graphics
# ("null" for headless runs, "x11" for a window on a desktop, "xvfb" for a window
# on a display without a window manager, where Wine draws the frames itself) and
# where COM1/COM2 lead ("-" leaves a port unmapped). Wine reads the ports when
# its server starts. Safe to run again; quiet when nothing changes.
set -eu
prefix=$1 graphics=$2 com1=${3:-} com2=${4:-}
WINEPREFIX=$prefix
. "$(dirname "$0")/wine-env.sh"

mkdir -p "$(dirname "$prefix")"
lock="$prefix.lock"
exec 9>"$lock"
flock 9

if [ ! -f "$prefix/system.reg" ]; then
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi

state="classic|$graphics|$com1|$com2"
if [ "$(cat "$prefix/.korvel-state" 2>/dev/null)" != "$state" ]; then
  driver=$graphics decorated=Y
  if [ "$graphics" = xvfb ]; then driver=x11 decorated=N; fi
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d "$driver" /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d "$decorated" /f >/dev/null 2>&1
  # The classic look the dialogs were laid out for; Wine's own theme also makes
  # every step of the progress bar several times dearer to draw.
  wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager' \
    /v ThemeActive /d 0 /f >/dev/null 2>&1
  for port in COM1 COM2; do
    eval target=\$$(echo "$port" | tr 'A-Z' 'a-z')
    if [ -z "$target" ]; then continue; fi
    if [ "$target" = "-" ]; then
      wine reg add 'HKLM\Software\Wine\Ports' /v "$port" /d "" /f >/dev/null 2>&1
    else
      wine reg add 'HKLM\Software\Wine\Ports' /v "$port" /d "$target" /f >/dev/null 2>&1
    fi
  done
  wineserver -w
  printf '%s\n' "$state" >"$prefix/.korvel-state"
fi
