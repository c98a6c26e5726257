#!/usr/bin/env bash
# The Debian package, built by scripts/package and checked without installing it: lintian reports
# no error and no warning, the desktop entry and the software-centre data validate, the package
# holds its files where the file-system hierarchy puts them. As root on a machine without the
# package, it is installed with apt-get, the installed program is run once as root and closed
# (its settings go to the user's configuration folder, nothing is written beside /usr/bin/pingrove)
# and the package is purged, leaving nothing behind; otherwise the program extracted from the
# package runs. Either way it starts under Xvfb, finds its chime under share/pingrove/sounds and
# ends on 終了 → はい. Usage: run.sh SOURCE_DIR. Exit 77 (skipped) without the tools.
set -u
src=$(readlink -f "$1")
# The build to package: the suite's own (no second build), unless PINGROVE_FULL=1 asks for the
# release build that scripts/package makes by itself.
build=${2:+$(readlink -f "$2")}
[ "${PINGROVE_FULL:-0}" = 1 ] && build=
for tool in cpack dpkg-deb lintian desktop-file-validate appstreamcli Xvfb xdotool xprop openbox strace; do
  command -v $tool >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
work=$(mktemp -d /tmp/pingrove-package-XXXXXX)
. "$(dirname "$(readlink -f "$0")")/../script_support.sh"
fail() { echo "FAIL: $*"; exit 1; }

"$src/scripts/package" $build > "$work/package.log" 2>&1 || { tail -20 "$work/package.log"; fail "scripts/package failed"; }
deb=$(ls "$src"/pingrove_*-1_amd64.deb 2>/dev/null | head -1)
[ -n "$deb" ] || fail "no pingrove_<version>-1_amd64.deb"
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"
dpkg-deb -f "$deb" Depends Recommends

lintian --pedantic "$deb" 2>&1 | grep -v 'root privileges' > "$work/lintian.log"
cat "$work/lintian.log"
! grep -qE '^(E|W):' "$work/lintian.log" || fail "lintian reports errors or warnings"

dpkg-deb -c "$deb" | awk '{ print $6 }' > "$work/files"
for f in ./usr/bin/pingrove ./usr/share/pingrove/sounds/chimes.wav \
         ./usr/share/applications/pingrove.desktop \
         ./usr/share/icons/hicolor/scalable/apps/pingrove.svg \
         ./usr/share/icons/hicolor/48x48/apps/pingrove.png \
         ./usr/share/metainfo/org.pingrove.Pingrove.metainfo.xml \
         ./usr/share/man/man1/pingrove.1.gz ./usr/share/man/ja/man1/pingrove.1.gz \
         ./usr/share/doc/pingrove/copyright; do
  grep -qx "$f" "$work/files" || fail "the package lacks $f"
done

root=$work/root
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/pingrove.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.pingrove.Pingrove.metainfo.xml" ||
  fail "metainfo"
file "$root/usr/share/icons/hicolor/48x48/apps/pingrove.png" | grep -q '48 x 48' || fail "icon size"

# Installed for real where that harms nothing: as root, and only when no pingrove is installed.
installed=false
if [ "$(id -u)" -eq 0 ] && ! dpkg -s pingrove >/dev/null 2>&1; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$deb" \
    > "$work/install.log" 2>&1 || { tail -20 "$work/install.log"; fail "apt-get install"; }
  installed=true
  extra_cleanup() { DEBIAN_FRONTEND=noninteractive apt-get purge -y -q pingrove >/dev/null 2>&1; }
  root=""
  echo "installed with apt-get: $(dpkg-query -W -f='${Package} ${Version}' pingrove)"
fi

display=:$((100 + RANDOM % 400))
Xvfb $display -noreset -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 & pids+=($!)
export DISPLAY=$display XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state
mkdir -p "$XDG_RUNTIME_DIR" "$work/cwd" && chmod 700 "$XDG_RUNTIME_DIR"
waitfor 10 "xdotool getmouselocation" || fail "Xvfb did not start"
openbox >/dev/null 2>&1 & pids+=($!)
waitfor 10 'wm_is Openbox' || fail "openbox did not start"
printf '"IP";"Name"\r\n"127.0.0.1";"self"\r\n' > "$work/cwd/iplist.txt"
cd "$work/cwd"
strace -f -q -e trace=%file -o "$work/files.trace" "$root/usr/bin/pingrove" \
  > "$work/out.log" 2>&1 & tracer=$!; pids+=($tracer)
waitfor 20 'pgrep -P $tracer -x pingrove' || fail "the extracted program did not start"
app=$(pgrep -P $tracer -x pingrove | head -1)
mainwin() { xsearch --all --onlyvisible --pid "$app" --name 'v1\.05$' | head -1; }
otherwin() { xsearch --all --onlyvisible --pid "$app" --name . | grep -vx "$win" | head -1; }
waitfor 20 'test -n "$(mainwin)"' || fail "the extracted program opened no window"
win=$(mainwin)
xdotool windowactivate --sync "$win"
xdotool mousemove --window "$win" 38 34 click 1  # 全偵察: 127.0.0.1 answers, the chime plays
waitfor 20 'grep -q "$root/usr/share/pingrove/sounds/chimes.wav" "$work/files.trace"' ||
  fail "the chime was not looked up under the extracted share/pingrove/sounds"
waitfor 10 'grep -qE "\"$root/usr/lib/[a-z0-9_-]+/pingrove/pingrove-sound.so\".* = 0" "$work/files.trace"' ||
  fail "the sound module was not found in the package's private library folder"
xdotool windowactivate --sync "$win"
xdotool mousemove --window "$win" 20 8 click 1  # 終了
waitfor 10 'test -n "$(otherwin)"' || fail "no close question"
xdotool windowactivate --sync "$(otherwin)" key Return  # はい
# The program itself must end; strace may stay for a session bus that D-Bus started on the side.
waitfor 15 '! kill -0 $app' || fail "the program did not end after はい"
grep -qE "^$app +[+]{3} exited with 0 " "$work/files.trace" ||
  fail "the program $app ended otherwise: $(grep "^$app " "$work/files.trace" | tail -3)"
if $installed; then
  [ ! -e /usr/bin/pingrove.INI ] || fail "the installed program wrote /usr/bin/pingrove.INI"
  [ -f "$XDG_CONFIG_HOME/pingrove/pingrove.INI" ] || fail "no settings in the user's folder"
  DEBIAN_FRONTEND=noninteractive apt-get purge -y -q pingrove > "$work/purge.log" 2>&1 ||
    fail "apt-get purge"
  ! dpkg -s pingrove >/dev/null 2>&1 || fail "still installed after the purge"
  for f in /usr/bin/pingrove /usr/bin/pingrove.INI /usr/share/pingrove /usr/share/doc/pingrove \
           /usr/share/applications/pingrove.desktop; do
    [ ! -e "$f" ] || fail "$f is left after the purge"
  done
  echo "installed, run as root, closed and purged: nothing left"
fi
echo "package test passed"
