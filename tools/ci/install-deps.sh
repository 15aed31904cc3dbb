#!/usr/bin/env bash
# Installs everything the build, the tests and the demo need on a Debian 12 machine.
# Safe to run again: apt-get skips what is already there. Both Wines: 32-bit
# Wine runs only where the machine executes 32-bit programs; 64-bit Wine runs
# everywhere (tools/wine/run-wine.sh picks the one each program needs). Where
# the machine refuses 32-bit programs, the 32-bit suite runs inside an emulated
# machine built from Debian's packages (tools/vm): qemu and debootstrap for that.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends \
  build-essential cmake ninja-build pkg-config python3 \
  googletest libgtest-dev libgmock-dev libbenchmark-dev \
  libcurl4-openssl-dev libcpp-httplib-dev libssl-dev \
  clang libclang-rt-14-dev \
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools \
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 \
  wine wine64 wine32:i386 xvfb xauth x11-apps imagemagick unzip \
  iproute2 procps curl ca-certificates \
  qemu-system-x86 debootstrap e2fsprogs >/dev/null
echo "dependencies installed"
