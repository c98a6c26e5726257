#!/usr/bin/env bash
# Odd files in the place of iplist.txt and pingrove.INI, for the real program under Xvfb: mode
# 000, a FIFO, a link to /dev/zero, a folder, a file over the 64 MB limit. Each start must show
# its window and one message, the close (終了, then はい to every question) must end the program
# with status 0, and the user's bytes must still be there afterwards, in place or in a numbered
# backup; what is no regular file is left as it was. Last, SIGTERM closes a running program with
# status 0 after saving. As root the program runs as "nobody", for whom mode 000 means something.
# Usage: run.sh PATH/TO/pingrove. Exit 77 (skipped) without the tools.
set -u
exe=$(readlink -f "$1")
work=$(mktemp -d /tmp/pingrove-files-XXXXXX)
. "$(dirname "$(readlink -f "$0")")/../script_support.sh"
require_tools Xvfb xdotool openbox
as=()
if [ "$(id -u)" -eq 0 ]; then
  require_tools runuser ip
  id nobody >/dev/null 2>&1 || { echo "SKIP: no user nobody"; exit 77; }
  # A namespace of its own, where every group may ping: nothing leaves the machine.
  ns=pgfiles$$
  ip netns add $ns || { echo "SKIP: cannot create a network namespace"; exit 77; }
  extra_cleanup() { ip netns del $ns 2>/dev/null; }
  ip -n $ns link set lo up
  ip netns exec $ns sysctl -qw net.ipv4.ping_group_range="0 2147483647"
  as=(ip netns exec $ns runuser -u nobody --)
fi
start_x -ac  # "nobody" may connect
chmod 755 "$work"
mkdir -p "$work/bin" "$work/cwd" "$work/home"
cp "$exe" "$work/bin/pingrove"
chmod 777 "$work/bin" "$work/cwd" "$work/home"
list='"IP";"Name"\r\n"127.0.0.1";"loop"\r\n'

start() {
  (cd "$work/cwd" && exec "${as[@]}" env -i "${sanitizer_env[@]}" DISPLAY=$DISPLAY HOME="$work/home" PATH=/usr/bin:/bin \
     LANG=C.UTF-8 "$work/bin/pingrove" > "$work/out.log" 2>&1) & runner=$!; pids+=($runner)
  waitfor 10 'pgrep -f "^$work/bin/pingrove" >/dev/null' || fail "$1: the program did not start"
  app=$(pgrep -f "^$work/bin/pingrove" | head -1); pids+=($app)
  waitfor 10 'test -n "$(xsearch --onlyvisible --pid $app --name "v1\.05$")"' ||
    fail "$1: no main window"
  win=$(xsearch --onlyvisible --pid $app --name 'v1\.05$' | head -1)
}
others() { xsearch --onlyvisible --pid "$app" --name . | grep -vx "$win"; }
answer_until_gone() {  # Return to every box, until the program ends
  local end=$((SECONDS + 20)) box
  while kill -0 "$app" 2>/dev/null; do
    [ $SECONDS -ge $end ] && fail "$1: the program did not end"
    box=$(others | head -1)
    [ -n "$box" ] && xdotool windowactivate --sync "$box" key Return 2>/dev/null
    sleep 0.3
  done
}
ended_with_0() {
  wait "$runner"; local status=$?
  [ $status -eq 0 ] || fail "$1: the program ended with status $status"
}

for file in iplist.txt pingrove.INI; do
  dir=$work/cwd; [ $file = pingrove.INI ] && dir=$work/bin
  for kind in mode000 fifo devzero folder toobig; do
    name="$kind as $file"
    rm -rf "$work/cwd/"iplist.txt* "$work/bin/"pingrove.INI*
    printf "$list" > "$work/cwd/iplist.txt"
    path=$dir/$file
    rm -rf "$path"
    case $kind in
      mode000) printf "$list[Form]\nLeft=7\n" > "$path"; chown nobody "$path" 2>/dev/null; chmod 000 "$path" ;;
      fifo) mkfifo "$path" ;;
      devzero) ln -s /dev/zero "$path" ;;
      folder) mkdir "$path" ;;
      toobig) printf "$list" > "$path"; truncate -s 65M "$path" ;;
    esac
    [ -f "$path" ] && cp -p "$path" "$work/original"
    start "$name"
    waitfor 5 'test -n "$(others)"' || fail "$name: no message at start"
    echo "$name: started with a message: $(xdotool getwindowname "$(others | head -1)")"
    xdotool windowactivate --sync "$(others | head -1)" key Return
    waitfor 5 'test -z "$(others)"' || fail "$name: more than one message at start"
    xdotool windowactivate --sync "$win" mousemove --window "$win" 20 8 click 1  # 終了
    answer_until_gone "$name"
    ended_with_0 "$name"
    case $kind in
      fifo) [ -p "$path" ] || fail "$name: the FIFO was not left alone" ;;
      devzero) [ "$(readlink "$path")" = /dev/zero ] || fail "$name: the link was not left alone" ;;
      folder) [ -d "$path" ] || fail "$name: the folder was not left alone" ;;
      *) kept=""
         for f in "$path" "$path".bak*; do cmp -s "$f" "$work/original" 2>/dev/null && kept=$f; done
         [ -n "$kept" ] || fail "$name: the original bytes are gone"
         echo "$name: original kept as $(basename "$kept")"
         rm -f "$work/original" ;;
    esac
  done
done

# SIGTERM: no question, both files saved, status 0.
rm -rf "$work/cwd/"iplist.txt* "$work/bin/"pingrove.INI*
printf "$list" > "$work/cwd/iplist.txt"
start SIGTERM
kill -TERM "$app"
waitfor 10 '! kill -0 $app' || fail "SIGTERM did not end the program"
ended_with_0 SIGTERM
[ -f "$work/bin/pingrove.INI" ] || fail "SIGTERM: the settings were not saved"
cmp -s "$work/cwd/iplist.txt" <(printf "$list") || fail "SIGTERM: the list changed"
echo "PASS: odd files kept, SIGTERM saved"
