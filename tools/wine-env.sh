# Sourced by every script that runs Wine, after it has set WINEPREFIX: a
# 32-bit prefix, no debug chatter, and no offer to install Mono or Gecko,
# which nothing here uses.
export WINEPREFIX WINEDEBUG=-all WINEARCH=win32 WINEDLLOVERRIDES="mscoree,mshtml="
