#!/bin/sh
# install-deps.sh [native|all]: installs with apt what is missing of
#   native  what building and installing the native programs needs: make install
#   all     (the default) that, and what the Windows builds, running the
#           utility under Wine, the tests and the benchmarks need
# Works as root or through sudo; safe to run again, and waits for another apt
# or dpkg run to finish. Nothing missing, nothing done: no root needed.
set -eu

native="cmake make g++"
# Both Windows builds, and Wine for each: wine32 runs the 32-bit build where the
# kernel runs 32-bit programs, wine64 the 64-bit build everywhere. ser2net,
# minicom and picocom (on a terminal tmux gives them) are the serial programs
# the tests run beside ours; GNU time measures the benchmarks' memory.
# korvel-serve is built on cpp-httplib (with OpenSSL for HTTPS), toml++,
# nlohmann-json, libsystemd and libmosquitto; its tests drive Debian's
# chromium through selenium, play Home Assistant with paho-mqtt against a real
# mosquitto, make certificates with openssl and check its unit with
# systemd-analyze; wrk loads its API in the benchmarks.
serve="libcpp-httplib-dev libssl-dev libtomlplusplus-dev nlohmann-json3-dev libsystemd-dev \
  libmosquitto-dev"
all="$native $serve googletest python3 \
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 \
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
  wine wine32:i386 wine64 fonts-wine xvfb xdotool imagemagick procps \
  qemu-system-x86 g++-multilib ser2net minicom picocom tmux time \
  dpkg-dev lintian \
  chromium chromium-driver python3-selenium mosquitto python3-paho-mqtt openssl systemd curl wrk"

case "${1:-all}" in
  native) packages=$native ;;
  all) packages=$all ;;
  *) echo "install-deps: usage: install-deps.sh [native|all]" >&2; exit 2 ;;
esac

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
case "$missing" in
  *:i386*)
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
      $as_root dpkg --add-architecture i386
    fi ;;
esac
wait_lock="-o DPkg::Lock::Timeout=900"
$as_root apt-get $wait_lock update -q
$as_root env DEBIAN_FRONTEND=noninteractive \
  apt-get $wait_lock install -y -q --no-install-recommends $missing
