#!/bin/sh
# The main job: builds the distribution, installs it into a fresh Wine prefix and
# shows the suite at work in Wine's own shell, saving a screenshot of each step
# into build/screenshots/ (in English, and in Japanese with LC_ALL=ja_JP.UTF-8).
# With a usable DISPLAY the windows appear there; otherwise a virtual display is used.
# usage: tools/demo.sh [build directory]
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
sh "$here/tools/install-deps.sh"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)"
shots=$build/screenshots
mkdir -p "$shots"

export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"

xvfb_pid=
if [ -z "$DISPLAY" ] || ! xdpyinfo >/dev/null 2>&1; then
  rm -f "$build/demo-display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$build/demo-display" >/dev/null 2>&1 &
  xvfb_pid=$!
  while [ ! -s "$build/demo-display" ]; do sleep 0.1; done
  export DISPLAY=:$(cat "$build/demo-display")
fi
trap '[ -n "$xvfb_pid" ] && kill $xvfb_pid 2>/dev/null; true' EXIT

shot() {
  sleep "${2:-4}"
  import -window root "$shots/$1.png"
  echo "screenshot: $shots/$1.png"
}

winpath() { echo "Z:$1" | sed 's|/|\\|g'; }

for lang in en ja; do
  export WINEPREFIX=$build/demo/$lang/prefix
  if [ $lang = ja ]; then export LC_ALL=ja_JP.UTF-8 TZ=Asia/Tokyo; else unset LC_ALL; export TZ=UTC; fi
  rm -rf "$build/demo/$lang"
  mkdir -p "$build/demo/$lang"
  wineboot -i >/dev/null 2>&1
  wineserver -w
  # Japanese dialogs ask for this font; map it to an installed Japanese one.
  printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\n"\357\274\255\357\274\263 \357\274\260\343\202\264\343\202\267\343\203\203\343\202\257"="IPAPGothic"\n' \
    >"$build/demo/$lang/fonts.reg"
  wine regedit /S "$(winpath "$build/demo/$lang/fonts.reg")" >/dev/null 2>&1
  wineserver -w

  # Install the property-sheet extension with the system's own INF installer.
  wine rundll32 setupapi.dll,InstallHinfSection DefaultInstall 128 "$(winpath "$build/dist/PINDREL.INF")" >/dev/null 2>&1
  wineserver -w

  samples=$WINEPREFIX/drive_c/Samples
  mkdir -p "$samples"
  cp "$build/tools/demo/Sample.exe" "$samples/Sample.exe"
  tab=1
  for page in touch icons bitmaps; do
    wine "$build/tools/demo/show_properties.exe" 8 --tab $tab 'C:\Samples\Sample.exe' >/dev/null 2>&1 &
    viewer=$!
    shot "properties-$page-$lang" 5
    wait $viewer || true
    tab=$((tab + 1))
  done
  wineserver -k || true
done
echo "screenshots are in $shots"
