#!/bin/sh
# A check for maintainers, not part of the tests: do the README's two commands really
# set up everything on a fresh Debian 12 machine? Makes a minimal Debian 12 root with
# debootstrap (from the mirror of this machine's own apt sources), copies the checkout
# into it, runs the commands of the README's first block (the main job, then the tests)
# in it as root, prints how each ended and how long it took, and removes the root
# again, also when interrupted. Needs root and the package registry; takes a quarter of
# an hour on a fast mirror.
# usage: sh tools/fresh-machine.sh [directory to make the root in, default /var/tmp]
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
parent=${1:-/var/tmp}
say() { echo "fresh-machine: $*"; }
[ "$(id -u)" = 0 ] || { say "needs root" >&2; exit 2; }
# /proc/mounts writes unusual characters in escaped form: such a path could not be
# checked for mounts below it before the removal.
case $(cd "$parent" && pwd) in
  *[!A-Za-z0-9/._-]*) say "choose a directory whose path has no spaces or other signs" >&2; exit 2 ;;
esac

# The first Debian 12 ("bookworm") archive of the apt sources, in either format.
mirror=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources 2>/dev/null | awk '
  function stanza_end() {
    if (!found && types ~ /(^| )deb( |$)/ && suites ~ /(^| )bookworm( |$)/ && enabled != "no" && split(uris, u, " ")) {
      print u[1]; found = 1
    }
    types = suites = uris = enabled = ""
  }
  /^[ \t]*#/ { next }
  /^[ \t]*$/ { stanza_end(); next }
  $1 == "deb" {
    i = 2
    if ($2 ~ /^\[/) { while (i < NF && $i !~ /\]$/) i++; i++ }
    if (!found && $(i + 1) == "bookworm") { print $i; found = 1 }
    next
  }
  { field = tolower($1); $1 = "" }
  field == "types:" { types = $0 } field == "suites:" { suites = $0 }
  field == "uris:" { uris = $0 } field == "enabled:" { enabled = tolower($2) }
  END { stanza_end() }')
git -C "$here" rev-parse --git-dir >/dev/null || { say "$here is not a git checkout" >&2; exit 2; }
[ -n "$mirror" ] || { say "no Debian 12 (bookworm) archive in this machine's apt sources" >&2; exit 2; }
if ! command -v debootstrap >/dev/null; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap >/dev/null
fi

root=$(mktemp -d "$parent/kelvara-fresh.XXXXXX")
chmod 755 "$root"   # a root directory as a machine has it, open to apt's own user
mounts_below_root() { awk -v r="$root" '$2 == r || index($2, r "/") == 1 { print $2 }' /proc/mounts; }
# in_group <command...>: runs the command in a process group of its own and waits for
# it. A signal ends the wait at once (a foreground command would delay the trap until
# it ended), and the trap ends the whole group.
group=
in_group() { setsid "$@" & group=$!; status=0; wait $group || status=$?; group=; return $status; }
remove_root() {
  trap - EXIT INT TERM HUP
  [ -z "$group" ] || { kill -TERM "-$group" 2>/dev/null; wait $group 2>/dev/null; } || true
  # Programs left running in the root (wineserver, Xvfb) would keep its mounts busy.
  for p in /proc/[0-9]*; do
    case $(readlink "$p/root" 2>/dev/null) in
      "$root" | "$root"/*) kill -9 "${p#/proc/}" 2>/dev/null || true ;;
    esac
  done
  # Deepest first: /dev/pts and /dev/shm before /dev.
  for m in $(mounts_below_root | sort -r); do umount "$m" 2>/dev/null || umount -l "$m"; done
  # A recursive delete through the bind-mounted /dev would delete the host's devices.
  if [ -n "$(mounts_below_root)" ]; then
    say "still mounted below $root, which is left in place:" >&2
    mounts_below_root >&2
    exit 1
  fi
  rm -rf --one-file-system "$root"
  say "removed $root"
}
trap remove_root EXIT
trap 'say interrupted; exit 130' INT TERM HUP

elapsed() { s=$(($(date +%s) - $1)); echo "$((s / 60)) min $((s % 60)) s"; }

started=$(date +%s)
say "making a minimal Debian 12 root in $root from $mirror"
in_group debootstrap --variant=minbase bookworm "$root" "$mirror" >"$root/made.log" 2>&1 ||
  { say "debootstrap failed:" >&2; tail -20 "$root/made.log" >&2; exit 1; }
made_in=$(elapsed "$started")
say "root made in $made_in"

mount -t proc proc "$root/proc"
mount -t sysfs sysfs "$root/sys"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
mount -t tmpfs -o mode=1777 shm "$root/dev/shm"

# The checkout as a clone would have it: tracked and new files, none of the ignored
# build directories, with uncommitted changes.
mkdir "$root/root/kelvara"
git -C "$here" ls-files -z --cached --others --exclude-standard |
  tar -C "$here" --null -T - --ignore-failed-read -cf - | tar -C "$root/root/kelvara" -xf -

# run <label> <command>: the command in the root, as root in a login-like environment.
run() {
  say "== $1: $2"
  begun=$(date +%s)
  touch "$root/begun"
  in_group sh -c '{ chroot "$1" /usr/bin/env -i HOME=/root TERM="${TERM:-dumb}" \
      PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
      sh -c "cd /root/kelvara && $2" 2>&1; echo $? >"$1/status"; } | tee "$1/output"' - "$root" "$2"
  status=$(cat "$root/status")
  if [ "$status" = 0 ]; then ended=passed; else ended="failed (exit status $status)"; failed=yes; fi
  summary="$summary
fresh-machine: $1 ($2): $ended in $(elapsed "$begun")"
  tests=$(grep -E 'tests passed, .* tests failed out of' "$root/output" | tail -1)
  [ -z "$tests" ] || summary="$summary, $tests"
  shots=$(find "$root/root/kelvara/build/screenshots" -name '*.png' -newer "$root/begun" 2>/dev/null | wc -l)
  [ "$shots" = 0 ] || summary="$summary, $shots screenshots saved"
}
failed=
summary=
# The README's block: "<command>   # <label>: <what it does>", one a line.
awk '/^```/ { if (block++) exit; next } block' "$here/README.md" >"$root/commands"
[ -s "$root/commands" ] || { say "the README's first block has no commands" >&2; exit 2; }
while IFS= read -r line; do
  label=${line#*# } command=${line%%#*}
  run "${label%%:*}" "${command%"${command##*[! ]}"}" </dev/null
done <"$root/commands"

echo
say "root made in $made_in from $mirror$summary"
say "everything took $(elapsed "$started")"
[ -z "$failed" ]
