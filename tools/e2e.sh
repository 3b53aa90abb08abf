#!/bin/sh
# Runs the end-to-end test program in a fresh Wine prefix of one Windows family
# and one language, on a virtual display of its own, and removes the prefix again.
# The release archive is unpacked to C:\<archive name> as a user would, and the
# program installs from there.
#   family 95: Wine's version setting win98 for every program involved
#   family nt: winxp for them
#   env en: code page 1252, America/New_York; ja: code page 932, Asia/Tokyo;
#   en64, ja64: the same in a 64-bit prefix, for the x64 suite (family nt)
# usage: tools/e2e.sh <build directory> 95|nt en|ja|en64|ja64 <archive.zip> <end_to_end_test.exe> [gtest options]
set -e
build=$1 family=$2 env=$3 archive=$4 program=$5
shift 5
[ -f "$archive" ] || { echo "no release archive $archive (cmake --build <build> --target package)" >&2; exit 2; }
dir=$build/e2e/$family-$env

export WINEPREFIX=$dir/prefix WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
unset LANG LANGUAGE LC_ALL LC_CTYPE LC_MESSAGES DISPLAY
case $env in
  *64) export WINEARCH=win64 ;;
esac
case $env in
  en|en64) export TZ=America/New_York ;;
  ja|ja64) export TZ=Asia/Tokyo LC_ALL=ja_JP.UTF-8 ;;
  *) echo "unknown environment $env" >&2; exit 2 ;;
esac
case $family in
  95) version=win98 ;;
  nt) version=winxp ;;
  *) echo "unknown family $family" >&2; exit 2 ;;
esac

[ -d "$WINEPREFIX" ] && wineserver -k 2>/dev/null || true
rm -rf "$dir"
mkdir -p "$dir"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dir/display" >/dev/null 2>&1 &
xvfb=$!
finish() {
  wineserver -k 2>/dev/null || true
  kill $xvfb 2>/dev/null || true
  [ -n "$KELVARA_E2E_KEEP" ] || rm -rf "$dir"
}
trap finish EXIT
i=0
while [ ! -s "$dir/display" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
export DISPLAY=:$(cat "$dir/display")

wineboot -i >/dev/null 2>&1
wineserver -w
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
# Unmanaged windows: without a window manager Wine waits two seconds whenever a
# top-level window is destroyed.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
# The Japanese dialogs' font, mapped through a UTF-16 registry file (an argument
# would be read in the Unix locale's character set, not UTF-8 for en).
printf '\357\273\277Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n"ＭＳ Ｐゴシック"="IPAPGothic"\r\n' |
  iconv -f UTF-8 -t UTF-16LE >"$dir/fonts.reg"
wine regedit /S "Z:$(echo "$dir/fonts.reg" | sed 's|/|\\|g')" >/dev/null 2>&1
for p in SETUP.EXE rundll32.exe control.exe notepad.exe end_to_end_test.exe shell_probe.exe; do
  wine reg add "HKCU\\Software\\Wine\\AppDefaults\\$p" /v Version /t REG_SZ /d $version /f >/dev/null 2>&1
done
wineserver -w

release=$(basename "$archive" .zip)
mkdir -p "$WINEPREFIX/drive_c/$release" "$WINEPREFIX/drive_c/e2e"
(cd "$WINEPREFIX/drive_c/$release" && cmake -E tar xf "$(realpath "$archive")")
# The test program and its probe run from the prefix's own drive, so the reports the
# probe leaves beside itself belong to this run alone, not to one running beside it.
cp "$program" "$(dirname "$program")/shell_probe.exe" "$WINEPREFIX/drive_c/e2e/"
KELVARA_E2E_FAMILY=$family KELVARA_E2E_RELEASE="C:\\$release" wine "$WINEPREFIX/drive_c/e2e/$(basename "$program")" "$@"
