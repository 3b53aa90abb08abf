#!/bin/sh
# The Wine environments the tests run in, each a 32-bit prefix with its own
# virtual display:
#   en  code page 1252, English resources, time zone America/New_York (daylight saving)
#   ja  code page 932, Japanese resources, time zone Asia/Tokyo (bias -540)
#   utf8  code page 65001 (a locale with no ANSI code page of its own), English
#       resources, time zone Asia/Kolkata (bias -330, no daylight saving)
#   en64, ja64  the same in a 64-bit prefix (WINEARCH=win64), for the x64 suite
# usage: wine-env.sh start|stop <root> <env>
#        wine-env.sh run <root> <env> <program> [arguments]
#        wine-env.sh shell <root> <env> <command> [arguments]   (a host command in the environment)
set -e
action=$1 root=$2 env=$3
shift 3
dir=$root/$env

export WINEPREFIX=$dir/prefix WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
unset LANG LANGUAGE LC_ALL LC_CTYPE LC_MESSAGES
case $env in
  *64) export WINEARCH=win64 ;;
esac
# Debian's /usr/bin/wine starts the 32-bit loader, which hands a 64-bit program in a
# 64-bit prefix over to wine64 by itself.
case $env in
  # C.UTF-8 keeps code page 1252 and English, and lets Wine store names such as
  # "café" on the Unix side.
  en|en64) export TZ=America/New_York LC_ALL=C.UTF-8 ;;
  ja|ja64) export TZ=Asia/Tokyo LC_ALL=ja_JP.UTF-8 ;;
  utf8) export TZ=Asia/Kolkata LC_ALL=hi_IN.UTF-8 ;;
  *) echo "unknown environment $env" >&2; exit 2 ;;
esac

start_display() {
  if [ -f "$dir/display" ] && kill -0 "$(cat "$dir/xvfb.pid" 2>/dev/null)" 2>/dev/null; then
    return
  fi
  rm -f "$dir/display" "$dir/display.tmp"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dir/display.tmp" >/dev/null 2>&1 &
  echo $! >"$dir/xvfb.pid"
  i=0
  while [ ! -s "$dir/display.tmp" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
  echo ":$(cat "$dir/display.tmp")" >"$dir/display"
}

case $action in
  start)
    mkdir -p "$dir"
    start_display
    export DISPLAY=$(cat "$dir/display")
    if [ ! -f "$dir/prefix/system.reg" ]; then
      wineboot -i >/dev/null 2>&1
      wineserver -w
      # No crash dialog: a crashing test must end, not wait for a click.
      wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
      # No window manager runs on the virtual display: with managed windows Wine waits
      # two seconds at every destruction of a top-level window for one to answer.
      wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
      # Japanese dialogs ask for this font; map it to an installed Japanese one.
      wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' /t REG_SZ /d 'IPAPGothic' /f >/dev/null 2>&1
      wineserver -w
    fi
    # Under code page 932 the property sheet's own frame and the shell's pages ask
    # for Windows' Japanese system fonts: Wine maps "MS Shell Dlg" to "MS UI Gothic",
    # and neither it nor "ＭＳ Ｐゴシック" is installed. The fixed-pitch fallback made
    # the frame measure the suite's pages too narrow and cut their right edge:
    # japanese-fonts.reg sends all three to the installed proportional font. Wine
    # sets "MS Shell Dlg" back whenever the prefix is started under another code
    # page, and prefixes made before this mapping lack it: it is written again
    # whenever system.reg lacks it. The names go through UTF-16, as regedit reads
    # it whatever the locale.
    case $env in
      ja|ja64)
        if ! grep -q '^"MS Shell Dlg"="IPAPGothic"' "$dir/prefix/system.reg"; then
          { printf '\357\273\277'; cat "$(dirname "$0")/japanese-fonts.reg"; } |
            iconv -f UTF-8 -t UTF-16LE >"$dir/fonts.reg"
          wine regedit /S "Z:$(cd "$dir" && pwd | sed 's|/|\\|g')\\fonts.reg" >/dev/null 2>&1
          wineserver -w
        fi
        ;;
    esac
    ;;
  stop)
    [ -d "$dir/prefix" ] && wineserver -k 2>/dev/null || true
    [ -f "$dir/xvfb.pid" ] && kill "$(cat "$dir/xvfb.pid")" 2>/dev/null || true
    rm -f "$dir/display" "$dir/xvfb.pid"
    ;;
  run|shell)
    start_display
    export DISPLAY=$(cat "$dir/display")
    if [ "$action" = run ]; then
      exec wine "$@"
    fi
    exec "$@"
    ;;
  *) echo "usage: $0 start|stop|run|shell <root> <env> ..." >&2; exit 2 ;;
esac
