#!/bin/sh
# Installs everything the build, the tests and the demo need on Debian 12, also on a
# minimal one (g++: the native compiler of the help compiler, a host tool; fp-utils:
# chmls, the CHM reader that checks the compiled KELVARA.CHM files).
# Safe to run again: it only installs what is missing.
set -e
need=""
for p in wine wine32:i386 wine64 g++ g++-mingw-w64-i686 g++-mingw-w64-x86-64 cmake make xvfb xauth \
         x11-utils imagemagick googletest locales fonts-ipafont-gothic python3 fp-utils; do
  dpkg -s "$p" >/dev/null 2>&1 || need="$need $p"
done
if [ -n "$need" ]; then
  SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
  $SUDO dpkg --add-architecture i386
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $need >/dev/null
fi
# File names outside ASCII in Wine need a real Unix locale of that name: Japanese for
# code page 932, Hindi (which has no ANSI code page, so Wine makes it 65001) for UTF-8.
SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
generate=""
for name in ja_JP hi_IN; do
  locale -a 2>/dev/null | grep -qi "^$name\.utf-\?8\$" && continue
  $SUDO sed -i "s/^# *$name.UTF-8 UTF-8/$name.UTF-8 UTF-8/" /etc/locale.gen
  grep -q "^$name.UTF-8 UTF-8" /etc/locale.gen || echo "$name.UTF-8 UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
  generate=yes
done
[ -z "$generate" ] || $SUDO locale-gen >/dev/null
