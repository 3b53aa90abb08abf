#!/bin/sh
# The main job: builds the distribution, installs it with SETUP.EXE from build/dist
# into a fresh Wine prefix and shows the suite at work in Wine's own shell, saving a
# screenshot of each step into build/screenshots/ (<step>-en.png in English, and
# <step>-ja.png in Japanese with LC_ALL=ja_JP.UTF-8). Each language gets its own
# prefix under build/demo/<language>/.
# Without a usable DISPLAY a virtual display is used. The buttons of the setup
# program and the uninstaller are pressed for you; with --interactive (and a
# display) they are left to you.
# usage: tools/demo.sh [--interactive] [build directory]
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
interactive=
if [ "$1" = --interactive ]; then interactive=--interactive; shift; fi
build=${1:-$here/build}
sh "$here/tools/install-deps.sh"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" --target kelvara_dist demo_sample show_properties demo_driver
shots=$build/screenshots
rm -rf "$shots"
mkdir -p "$shots"

export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
unset LANG LANGUAGE LC_CTYPE LC_MESSAGES

xvfb_pid= server_pid=
if [ -z "$DISPLAY" ] || ! xdpyinfo >/dev/null 2>&1; then
  interactive=
  rm -f "$build/demo-display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$build/demo-display" >/dev/null 2>&1 &
  xvfb_pid=$!
  while [ ! -s "$build/demo-display" ]; do sleep 0.1; done
  export DISPLAY=:$(cat "$build/demo-display")
fi
cleanup() {
  [ -z "$server_pid" ] || kill $server_pid 2>/dev/null || true
  [ -z "$WINEPREFIX" ] || wineserver -k 2>/dev/null || true
  [ -z "$xvfb_pid" ] || kill $xvfb_pid 2>/dev/null || true
}
trap cleanup EXIT

# The screenshot service: the driver writes <name>.want with the region to take and
# waits for <name>.png.
(
  while :; do
    for want in "$shots"/*.want; do
      [ -e "$want" ] || continue
      name=$(basename "$want" .want)
      read -r x y w h <"$want"
      import -window root -crop "${w}x${h}+${x}+${y}" +repage "$shots/.$name.png" 2>/dev/null &&
        mv "$shots/.$name.png" "$shots/$name.png"
      rm -f "$want"
    done
    sleep 0.2
  done
) &
server_pid=$!

winpath() { echo "Z:$1" | sed 's|/|\\|g'; }
driver="$build/tools/demo/demo_driver.exe"
drive() { wine "$driver" --shots "$(winpath "$shots")" --tag "$lang" $interactive "$@"; }

for lang in en ja; do
  echo "== $lang"
  export WINEPREFIX=$build/demo/$lang/prefix
  if [ $lang = ja ]; then export LC_ALL=ja_JP.UTF-8 TZ=Asia/Tokyo; else unset LC_ALL; export TZ=America/New_York; fi
  rm -rf "$build/demo/$lang"
  mkdir -p "$build/demo/$lang"
  wineboot -i >/dev/null 2>&1
  wineserver -w
  # Japanese dialogs ask for "ＭＳ Ｐゴシック"; map it to an installed Japanese font,
  # and check that the dialogs' face is really drawn with it. Under code page 932
  # the property sheet's frame, the shell's pages and the message boxes ask for
  # Windows' Japanese system fonts too, which Wine maps to fonts that are not
  # installed: the fixed-pitch fallback made the frame cut the suite's pages.
  # japanese-fonts.reg sends them to the same font. The names go through a UTF-16
  # registry file: a command-line argument would be read in the Unix locale's
  # character set, which is not UTF-8 for the English run.
  {
    printf '\357\273\277Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\n"ＭＳ Ｐゴシック"="IPAPGothic"\n\n'
    [ $lang = en ] || tail -n +2 "$here/tools/japanese-fonts.reg"
  } | iconv -f UTF-8 -t UTF-16LE >"$build/demo/$lang/fonts.reg"
  wine regedit /S "$(winpath "$build/demo/$lang/fonts.reg")" >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  # A word processor's .doc class and the .txt association, as on the user's machine.
  wine regedit /S "$(winpath "$here/tools/windows-associations.reg")" >/dev/null 2>&1
  # No window manager runs on the virtual display: Wine then draws the title bars.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  wineserver -w
  wineserver -k 2>/dev/null || true
  drive fontcheck

  samples=$WINEPREFIX/drive_c/Samples
  docs="$WINEPREFIX/drive_c/Kelvara Docs"
  mkdir -p "$samples" "$docs"
  cp "$build/tools/demo/Sample.exe" "$samples/Sample.exe"
  printf 'Notes of the sample.\r\n' >"$samples/Readme.txt"
  printf 'BM' >"$samples/Picture.bmp"
  # A Word document is a compound file: the signature, then anything.
  printf '\320\317\021\340\241\261\032\341' >"$docs/Quarterly report.doc"
  head -c 504 /dev/zero >>"$docs/Quarterly report.doc"
  printf 'Plain text that was saved with the .doc extension.\r\n' >"$docs/Plain notes.doc"

  drive setup "$(winpath "$build/dist/SETUP.EXE")"
  drive properties properties-touch,properties-icons,properties-bitmaps 'C:\Samples\Sample.exe'
  drive properties multiple-touch 'C:\Samples\Sample.exe' 'C:\Samples\Readme.txt' 'C:\Samples\Picture.bmp'
  # A folder gets the Touch page only. Wine's shell asks the handlers registered for
  # "Folder" and for "*" (not "Directory", as Windows does), so here it comes from
  # the "*" registration.
  drive properties folder-touch 'C:\Kelvara Docs'
  drive control
  drive folder 'C:\Kelvara Docs' 'C:\Kelvara Docs\Plain notes.doc'
  drive handler-icons 'C:\Kelvara Docs' 'C:\Kelvara Docs\Quarterly report.doc' 'C:\Kelvara Docs\Plain notes.doc'
  drive uninstall uninstall-first
  drive uninstall uninstall-second
  # Each library was loaded by the uninstaller's own process while its INF section
  # deleted it. The sections mark them for deletion at the restart the uninstaller
  # offers (DELFLG_IN_USE), which Wine's setupapi does not implement: it leaves them.
  # They are deleted here, as that restart would.
  for file in KELVARA.CPL ShellExt/PINDREL.DLL ShellExt/QUORBIN.DLL; do
    if [ -e "$WINEPREFIX/drive_c/windows/system32/$file" ]; then
      echo "demo: $file was in use while it was removed; deleting it as the restart would"
      rm -f "$WINEPREFIX/drive_c/windows/system32/$file"
    fi
  done
  drive control-without control-panel-after
  wineserver -k 2>/dev/null || true
done
echo "screenshots are in $shots:"
ls "$shots"
