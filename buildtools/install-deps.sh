#!/bin/sh
# Installs with apt what building, running and testing need and is not there yet.
# Works as root or through sudo; safe to run again, and waits for another apt
# or dpkg run to finish.
set -eu

# Both Windows builds, and Wine for each: wine32 runs the 32-bit build where the
# kernel runs 32-bit programs, wine64 the 64-bit build everywhere.
packages="cmake make g++ googletest python3 \
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 \
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
  wine wine32:i386 wine64 fonts-wine xvfb xdotool imagemagick procps \
  qemu-system-x86 g++-multilib dpkg-dev lintian"

missing=""
for p in $packages; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
[ -n "$missing" ] || exit 0

if [ "$(id -u)" -eq 0 ]; then
  as_root=""
elif command -v sudo >/dev/null 2>&1; then
  as_root="sudo"
else
  echo "install-deps: these packages are missing and there is no sudo to install them:$missing" >&2
  exit 1
fi

echo "install-deps: installing$missing"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $as_root dpkg --add-architecture i386
fi
wait_lock="-o DPkg::Lock::Timeout=900"
$as_root apt-get $wait_lock update -q
$as_root env DEBIAN_FRONTEND=noninteractive \
  apt-get $wait_lock install -y -q --no-install-recommends $missing
