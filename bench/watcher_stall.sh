#!/usr/bin/env bash
# How long the window is held when the StatusNotifierItem watcher stops answering (a panel being
# restarted, kded5 busy at login): the watcher of tests/tray/sni_watcher.py on a private session
# bus is stopped (SIGSTOP), the window minimised, and a screen reader's read of the window over
# AT-SPI, which the program answers on its UI thread, is timed right after; then where the window
# went. Five rounds. Usage: bench/watcher_stall.sh PATH/TO/pingrove
set -u
exe=$(readlink -f "$1")
here=$(dirname "$(readlink -f "$0")")
work=$(mktemp -d /tmp/pingrove-stall-XXXXXX)
. "$here/../tests/script_support.sh"
require_tools Xvfb xdotool openbox xprop dbus-launch gdbus
export XDG_RUNTIME_DIR=$work/run LANG=C.UTF-8 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
start_x
eval "$(dbus-launch --sh-syntax)" && pids+=($DBUS_SESSION_BUS_PID)
/usr/bin/python3 "$here/../tests/tray/sni_watcher.py" "$work/items" & host=$!; pids+=($host)
waitfor 10 "gdbus introspect --session --dest org.kde.StatusNotifierWatcher \
  --object-path /StatusNotifierWatcher" || fail "the watcher did not start"
mkdir -p "$work/bin" "$work/cwd"
cp "$exe" "$work/bin/pingrove"
printf '"IP";"Name"\r\n"127.0.0.1";"loop"\r\n' > "$work/cwd/iplist.txt"
cd "$work/cwd"
"$work/bin/pingrove" > "$work/out.log" 2>&1 & app=$!; pids+=($app)
waitfor 15 'test -n "$(xsearch --onlyvisible --pid $app --name "v1\.05$")"' || fail "no window"
win=$(xsearch --onlyvisible --pid $app --name 'v1\.05$' | head -1)
shown() { xsearch --onlyvisible --pid "$app" --name 'v1\.05$' | grep -qx "$win"; }
read_window() {  # the milliseconds one read of the window's controls takes over AT-SPI
  /usr/bin/python3 - "$app" <<'PY'
import sys, time, pyatspi
pid = int(sys.argv[1])
for _ in range(50):
    apps = [a for a in pyatspi.Registry.getDesktop(0) if a is not None and a.get_process_id() == pid]
    if apps:
        break
    time.sleep(0.2)
t0 = time.monotonic()
app = apps[0]
[app.get_child_at_index(i).name for i in range(app.get_child_count())]
print(round((time.monotonic() - t0) * 1000))
PY
}
read_window > /dev/null  # the accessibility bridge is up
# Once into the item with the watcher answering: from then on a minimise goes by what the program
# knows. (Before the first answer, a second after the start, it goes to the task bar and waits.)
restore() {
  waitfor 10 'gdbus call --session --dest org.kde.StatusNotifierItem-$app-1 \
    --object-path /StatusNotifierItem --method org.kde.StatusNotifierItem.Activate 0 0 ||
    xdotool windowactivate $win; shown'
}
waitfor 10 'xdotool windowminimize "$win"; ! shown && ! xprop -id "$win" WM_STATE | grep -q Iconic' ||
  fail "the window never went into the item"
restore
for round in 1 2 3 4 5; do
  kill -STOP $host
  xdotool windowminimize "$win"
  ms=$(read_window)
  waitfor 10 '! shown'
  state=$(xprop -id "$win" WM_STATE | grep -o 'Iconic\|Normal' || echo "in the tray")
  echo "round $round: a read of the window took $ms ms; the window went: $state"
  kill -CONT $host
  restore
  waitfor 10 'read_window > /dev/null'  # settled before the next round
done
