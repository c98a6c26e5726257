#!/usr/bin/env bash
# The notification areas under Xvfb: a StatusNotifierItem host (the watcher of sni_watcher.py on a
# private session bus, as KDE Plasma or GNOME's AppIndicator extension), then that host gone (stock
# GNOME), then back, under openbox; then under openbox, xfwm4 and KWin each, an XEmbed tray
# (trayer) beside the host, as xfce4-panel has both; xfce4-panel and lxqt-panel themselves under
# xfwm4. Also the command line without a display. Usage: run.sh PATH/TO/pingrove. Exit 77
# (skipped) without the tools.
set -u
exe=$(readlink -f "$1")
here=$(dirname "$(readlink -f "$0")")
work=$(mktemp -d /tmp/pingrove-sni-XXXXXX)
. "$here/../script_support.sh"
require_tools Xvfb xdotool openbox xprop dbus-launch gdbus
/usr/bin/python3 -c 'from gi.repository import Gio' 2>/dev/null || { echo "SKIP: python3-gi"; exit 77; }

# Without any display: one line, status 1; --help and --version need none.
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$exe" > "$work/nodisplay.log" 2>&1
[ $? -eq 1 ] || fail "a start without a display did not end with status 1"
[ "$(wc -l < "$work/nodisplay.log")" -eq 1 ] || fail "not one line: $(cat "$work/nodisplay.log")"
env -u DISPLAY -u WAYLAND_DISPLAY "$exe" --version | grep -q '^pingrove [0-9]' || fail "--version"
# A display named but not there: the same, in the locale's language, and never status 0.
for lang in C.UTF-8 ja_JP.UTF-8; do
  env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM LANG=$lang LC_ALL= DISPLAY=:1999 "$exe" > "$work/nodisplay.log" 2>&1
  [ $? -eq 1 ] || fail "a display that cannot be opened did not end with status 1 ($lang)"
  [ "$(wc -l < "$work/nodisplay.log")" -eq 1 ] || fail "not one line: $(cat "$work/nodisplay.log")"
done
grep -q 'DISPLAY も WAYLAND_DISPLAY もありません' "$work/nodisplay.log" &&
  fail "the Japanese line says no display was named: $(cat "$work/nodisplay.log")"
env -u DISPLAY "$exe" --bogus > "$work/bogus.log" 2>&1
[ $? -eq 2 ] || fail "an unknown option did not end with status 2"
env -u DISPLAY -u WAYLAND_DISPLAY "$exe" --help | grep -q 'Usage' || fail "--help"

export XDG_RUNTIME_DIR=$work/run LANG=C.UTF-8 XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache
# What the window goes through on its way to the tray and back, printed when a check fails.
export QT_LOGGING_RULES="pingrove.tray.window.debug=true"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
start_x
eval "$(dbus-launch --sh-syntax)" && pids+=($DBUS_SESSION_BUS_PID)

watcher() {
  /usr/bin/python3 "$here/sni_watcher.py" "$work/items" & host=$!; pids+=($host)
  waitfor 10 "gdbus introspect --session --dest org.kde.StatusNotifierWatcher \
    --object-path /StatusNotifierWatcher" || fail "the watcher did not start"
}
item() { tail -1 "$work/items"; }
sni() {  # sni PATH METHOD ARGS...: a call to the registered item
  local path=$1 method=$2; shift 2
  gdbus call --session --dest "$(item)" --object-path "$path" --method "$method" -- "$@"
}
watcher_get() {
  gdbus call --session --dest org.kde.StatusNotifierWatcher --object-path /StatusNotifierWatcher \
    --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher "$1"
}
iconic() { xprop -id "$win" WM_STATE | grep -q Iconic; }
normal() { shown && xprop -id "$win" WM_STATE | grep -q Normal; }
shown() { xsearch --onlyvisible --pid "$app" --name 'v1\.05$' | grep -qx "$win"; }
otherwin() { xsearch --all --onlyvisible --pid "$app" --name . | grep -vx "$win" | head -1; }
registrations() { [ -f "$work/items" ] && wc -l < "$work/items" || echo 0; }

watcher
mkdir -p "$work/bin" "$work/cwd"
cp "$exe" "$work/bin/pingrove"
printf '"IP";"Name"\r\n"127.0.0.1";"loop"\r\n' > "$work/cwd/iplist.txt"
cd "$work/cwd"
"$work/bin/pingrove" > "$work/out.log" 2>&1 & app=$!; pids+=($app)
waitfor 15 'test -n "$(xsearch --onlyvisible --pid $app --name "v1\.05$")"' ||
  fail "main window did not appear"
win=$(xsearch --onlyvisible --pid $app --name 'v1\.05$' | head -1)

# Minimised with auto scan on: the item registers, titled and with its menu exported.
xdotool windowminimize "$win"
waitfor 10 '[ "$(registrations)" -ge 1 ] && ! shown' || fail "no item registered, or the window stayed"
prop() { sni /StatusNotifierItem org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem "$1"; }
prop Title | grep -q "'ピングローブ'" || fail "the item's title is not the program's name"
# Hosts keep the user's choices by the Id: ASCII, the same in every session.
prop Id | grep -q "'pingrove'" || fail "the item's Id: $(prop Id)"
prop ToolTip | grep -q "'ピングローブ', '自動偵察" || fail "the tooltip: $(prop ToolTip)"
# Sent again at every frame of the animation: two small sizes, not five up to 64 px.
sizes=$(prop IconPixmap | grep -o '([0-9]*, [0-9]*, \[' | tr -d '([,' | awk '{print $1}' | xargs)
[ "$sizes" = "22 44" ] || fail "the item's pixmaps are sized '$sizes'"
prop Menu | grep -q "'/MenuBar'" || fail "the item has no menu"
layout=$(sni /MenuBar com.canonical.dbusmenu.GetLayout 0 -1 '[]')
for label in 元に戻す 終了; do
  echo "$layout" | grep -q "'label': <'$label'>" || fail "menu entry $label missing: $layout"
done
exit_id() {
  sni /MenuBar com.canonical.dbusmenu.GetLayout 0 -1 '[]' |
    grep -o "([0-9]*, {[^}]*'label': <'終了'>" | grep -o '^([0-9]*' | tr -d '('
}
echo "menu: 元に戻す, 終了 (id $(exit_id))"

# Activate brings the window back, as a left click does.
sni /StatusNotifierItem org.kde.StatusNotifierItem.Activate 0 0 >/dev/null
waitfor 10 shown || fail "Activate did not bring the window back"
# Back on screen, the item's name is given up: the panel keeps no stale item.
mine=org.kde.StatusNotifierItem-$app-1
owned() {
  gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.NameHasOwner "$1" | grep -q true
}
waitfor 10 '! owned $mine' || fail "the item's name stayed on the bus after the restore"

# A watcher that stops answering (a panel being restarted, a stopped process): the minimise does
# not wait for it, the window goes into the item the program knows of and answers meanwhile, and
# a watcher that answers again in time keeps it there.
asked() { [ -f "$work/items.asked" ] && wc -l < "$work/items.asked" || echo 0; }
before=$(registrations)
kill -STOP $host
xdotool windowminimize "$win"
waitfor 10 '! shown && ! iconic' || fail "with the watcher stopped the window did not go into the item"
gdbus call --session --dest $mine --object-path /StatusNotifierItem --method \
  org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem Title | grep -q ピングローブ ||
  fail "the program did not answer while the watcher was stopped"
kill -CONT $host
# Three questions after the stop (one may be a stale one answered late): the presence check ran.
n=$(asked)
waitfor 15 '[ "$(asked)" -ge $((n + 3)) ] && [ "$(registrations)" -gt "$before" ]' ||
  fail "the watcher was asked nothing more, or the item not registered, after it went on"
! shown && ! iconic || fail "a watcher that was stopped for a moment took the window out of the tray"
sni /StatusNotifierItem org.kde.StatusNotifierItem.Activate 0 0 >/dev/null
waitfor 10 shown || fail "Activate did not bring the window back after the watcher went on"

# The host goes away while the window is in it: the window comes back, minimised.
xdotool windowminimize "$win"
waitfor 10 '! shown' || fail "the window did not go into the item again"
kill $host
waitfor 10 iconic || { xprop -id "$win" WM_STATE; shown && echo shown; fail "the window stayed lost when the host went away"; }
# No host at all: minimising is an ordinary minimise, without a message.
xdotool windowactivate --sync "$win" >/dev/null 2>&1 || xdotool windowmap "$win"
waitfor 10 shown || fail "the window did not come back from the task bar"
xdotool windowminimize "$win"
waitfor 10 iconic || fail "without a notification area the window did not minimise"
sleep 2
iconic || fail "the minimised window came back by itself"
[ -z "$(otherwin)" ] || fail "a message appeared when minimising without a notification area"
kill -0 $app || fail "the program ended"

# The host is back and takes in the window minimised on the task bar; 終了 from its menu, then
# はい, ends the program with status 0.
before=$(registrations)
watcher
waitfor 10 '[ "$(registrations)" -gt "$before" ] && ! shown && ! iconic' ||
  fail "the host that came back did not take the window in"
exit_from_the_menu() {  # 終了 from the item's menu, then はい: the program ends with status 0
  sni /MenuBar com.canonical.dbusmenu.Event "$(exit_id)" clicked '<0>' 0 >/dev/null
  waitfor 10 'test -n "$(otherwin)"' || fail "no close question after 終了"
  xdotool windowactivate --sync "$(otherwin)" key Return
  waitfor 10 '! kill -0 $app' || fail "the program did not end after はい"
  wait $app; status=$?
  [ $status -eq 0 ] || fail "the program ended with status $status"
}
exit_from_the_menu
echo "PASS: item, menu, Activate, host gone, no tray, exit from the menu"

# Each window manager with both kinds of notification area at once, as xfce4-panel has them:
# trayer (XEmbed) beside the watcher. One start in the tray a window manager takes the item, the
# XEmbed tray once the host is gone and the task bar once that tray is gone too; maximised through
# each and back, un-maximised at its place; a second start brings the window forward from the tray
# and from the task bar (once its message is read); 終了 from the item's menu saves the place the
# frame was put at.
size() { xwininfo -id "$win" | awk '/Width:|Height:/ {print $NF}' | xargs; }
maximised() { xprop -id "$win" _NET_WM_STATE | grep -q MAXIMIZED_HORZ; }
hidden() { ! shown && ! iconic; }
frame_origin() {  # the frame's corner: the client's less the frame's left and top extents
  local x y e
  eval "$(xwininfo -id "$win" | awk '/Absolute upper-left X/ {print "x=" $NF} /Absolute upper-left Y/ {print "y=" $NF}')"
  e=($(xprop -id "$win" _NET_FRAME_EXTENTS | grep -o '=.*' | tr -d '=,'))
  echo "$((x - ${e[0]:-0})) $((y - ${e[2]:-0}))"
}
at_its_place() { [ "$(size)" = "610 490" ] && [ "$(frame_origin)" = "200 150" ]; }
place_ini() { printf '[Form]\r\nLeft=200\r\nTop=150\r\nWidth=610\r\nHeight=490\r\nWindowState=1\r\nCBX2=1\r\n' > "$work/bin/pingrove.INI"; }
saved() { tr -d '\r' < "$work/bin/pingrove.INI" | awk -F= '/^(Left|Top|Width|Height|WindowState)=/ {print $1 "=" $2}' | sort | xargs; }
kept_place="Height=490 Left=200 Top=150 Width=610 WindowState=1"
activate() { sni /StatusNotifierItem org.kde.StatusNotifierItem.Activate 0 0 >/dev/null; }
trayer_start() {
  trayer --edge bottom --align right --widthtype pixel --width 64 --heighttype pixel --height 24 \
    >/dev/null 2>&1 & tray=$!; pids+=($tray)
  waitfor 10 xembed_tray_owned || fail "trayer did not start"
}
click_icon() {  # a left click on the icon, the only one in trayer, which packs them to the right
  local bar
  bar=$(xsearch --onlyvisible --class trayer | head -1)
  [ -n "$bar" ] && eval "$(xdotool getwindowgeometry --shell "$bar")" &&
    xdotool mousemove $((X + WIDTH - 12)) $((Y + HEIGHT / 2)) click 1
}
start_in_the_tray() {
  local before=$(registrations)
  "$work/bin/pingrove" > "$work/out.log" 2>&1 & app=$!; pids+=($app)
  waitfor 15 '[ "$(registrations)" -gt "$before" ]' || fail "$1: a start in the tray registered no item"
  win=$(xsearch --all --pid $app --name 'v1\.05$' | head -1)
}
through_maximised() {  # through_maximised LABEL BRING_BACK: maximised into the area and back
  /usr/bin/python3 "$here/maximize.py" "$win" add
  waitfor 10 maximised || fail "$1: no maximise"
  # Asked again until it goes: a request that comes while the window manager maps it is dropped.
  waitfor 10 'xdotool windowminimize "$win"; hidden' || fail "$1: the maximised window did not go"
  waitfor 15 "$2; normal" || fail "$1: the maximised window did not come back"
  waitfor 10 maximised || fail "$1: the maximised window came back $(size), not maximised"
  /usr/bin/python3 "$here/maximize.py" "$win" remove
  waitfor 10 '! maximised && at_its_place' ||
    fail "$1: un-maximised after the tray the window is $(size) at $(frame_origin), not 610 490 at 200 150"
}
second_start() {  # second_start LABEL: its message first, then the window comes forward
  "$work/bin/pingrove" > "$work/second.log" 2>&1 & local second=$! box
  pids+=($second)
  waitfor 10 'box=$(xsearch --all --onlyvisible --pid $second --name . | head -1); [ -n "$box" ]' ||
    fail "$1: no message from a second start"
  ! normal || fail "$1: the window came forward before the message was read"
  xdotool windowactivate --sync "$box" key Return
  waitfor 10 '! kill -0 $second' || fail "$1: the second start did not end"
  wait $second || fail "$1: the second start ended with a non-zero status"
  waitfor 10 normal || fail "$1: a second start did not bring the window forward"
}
desktop_round() {  # desktop_round WM, with the watcher running
  local wm=$1 before
  trayer_start
  place_ini
  start_in_the_tray "$wm"
  # Asked again until it is back: on a busy machine the first request may come while the window
  # is still on its way into the tray.
  waitfor 15 'activate; normal' ||
    { xprop -id "$win" WM_STATE WM_HINTS; fail "$wm: a start in the tray never came back"; }
  waitfor 10 at_its_place || fail "$wm: back from a start in the tray at $(frame_origin), not 200 150"
  through_maximised "$wm, the item" activate
  waitfor 10 'xdotool windowminimize "$win"; hidden' || fail "$wm: the window did not go into the item"
  second_start "$wm, from the item"
  kill $host
  through_maximised "$wm, the XEmbed tray" click_icon
  waitfor 10 'xdotool windowminimize "$win"; hidden' || fail "$wm: the window did not go into trayer"
  kill $tray
  waitfor 10 iconic || fail "$wm: the window stayed lost when the XEmbed tray went"
  second_start "$wm, from the task bar"
  /usr/bin/python3 "$here/maximize.py" "$win" add
  waitfor 10 maximised || fail "$wm: no maximise"
  waitfor 10 'xdotool windowminimize "$win"; iconic' || fail "$wm: the maximised window did not minimise"
  second_start "$wm, maximised from the task bar"
  waitfor 10 maximised || fail "$wm: a second start brought the window back $(size), not maximised"
  /usr/bin/python3 "$here/maximize.py" "$win" remove
  waitfor 10 '! maximised && at_its_place' || fail "$wm: un-maximised at $(frame_origin), $(size)"
  before=$(registrations)
  watcher
  waitfor 10 'xdotool windowminimize "$win"; [ "$(registrations)" -gt "$before" ] && hidden' ||
    fail "$wm: the window did not go into the item again"
  exit_from_the_menu
  [ "$(saved)" = "$kept_place" ] || fail "$wm: saved $(saved), not $kept_place"
  echo "PASS: $wm, the item and trayer: a start in the tray, maximised through both, second starts"
}

# A start in the tray before the host came (on the task bar, framed by openbox), then taken in and
# closed from the item, keeps the place it was put at.
kill $host
place_ini
"$work/bin/pingrove" > "$work/out.log" 2>&1 & app=$!; pids+=($app)
waitfor 15 'win=$(xsearch --all --pid $app --name "v1\.05$" | head -1); [ -n "$win" ] && iconic' ||
  fail "a start in the tray without a host did not go to the task bar"
before=$(registrations)
watcher
waitfor 10 '[ "$(registrations)" -gt "$before" ] && hidden' || fail "the host did not take the window in"
exit_from_the_menu
[ "$(saved)" = "$kept_place" ] || fail "started in the tray and closed from it: saved $(saved)"
desktop_round openbox

command -v xfwm4 >/dev/null || { echo "SKIP: xfwm4 is not installed (the rest passed)"; exit 0; }
xfwm4 --replace >/dev/null 2>&1 & pids+=($!)
waitfor 10 'wm_is Xfwm4' || fail "xfwm4 did not take over from openbox"
desktop_round xfwm4

# xfce4-panel 4.18, whose systray is an XEmbed tray and a StatusNotifierItem host in one: a start in
# the tray comes back through the item the panel lists, and a panel that ends while the window is
# in it and starts again takes it back in (xfwm4 maps a window with the start mark it last had).
if command -v xfce4-panel >/dev/null; then
  kill $host
  mkdir -p "$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml"
  cp "$here/xfce4-panel.xml" "$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml/"
  xfce_panel() {
    xfce4-panel > "$work/panel.log" 2>&1 & panel=$!; pids+=($panel)
    waitfor 15 'watcher_get IsStatusNotifierHostRegistered | grep -q true && xembed_tray_owned' ||
      fail "xfce4-panel did not start: $(cat "$work/panel.log")"
  }
  listed() { watcher_get RegisteredStatusNotifierItems | grep -o "'[^']*'" | tr -d "'" | tail -1; }
  panel_activate() {  # as a click on the item the panel shows: its service and path as listed
    local entry=$(listed) path=/StatusNotifierItem
    [[ $entry == */* ]] && path=/${entry#*/}
    gdbus call --session --dest "${entry%%/*}" --object-path "$path" \
      --method org.kde.StatusNotifierItem.Activate 0 0 >/dev/null
  }
  xfce_panel
  place_ini
  "$work/bin/pingrove" > "$work/out.log" 2>&1 & app=$!; pids+=($app)
  win=
  waitfor 15 'win=$(xsearch --all --pid $app --name "v1\.05$" | head -1); [ -n "$win" ] && hidden &&
    [ -n "$(listed)" ]' || fail "xfce4-panel: a start in the tray did not go into the panel"
  waitfor 15 'panel_activate; normal' ||
    { xprop -id "$win" WM_STATE WM_HINTS; fail "xfce4-panel: a start in the tray never came back"; }
  waitfor 10 at_its_place || fail "xfce4-panel: back at $(frame_origin), not 200 150"
  waitfor 10 'xdotool windowminimize "$win"; hidden' || fail "xfce4-panel: the window did not go"
  kill $panel
  waitfor 10 iconic || fail "xfce4-panel: the window stayed lost when the panel ended"
  xfce_panel
  waitfor 10 hidden || fail "xfce4-panel: the panel that came back did not take the window in"
  waitfor 15 'panel_activate; normal' ||
    { xprop -id "$win" WM_STATE WM_HINTS; fail "xfce4-panel: the window never came back"; }
  kill -TERM $app $panel
  waitfor 10 '! kill -0 $app' || fail "SIGTERM did not end the program"
  echo "PASS: xfce4-panel, a start in the tray, the panel gone and back"
fi

# A panel that starts while the window is minimised to the task bar takes it in; when its last
# host goes and the watcher stays (KDE's lives in kded5), the hidden window comes back.
# No watcher, and the program started afresh with auto scan on, its window on screen.
start_without_watcher() {
  kill -USR1 $host 2>/dev/null; kill $host 2>/dev/null
  waitfor 10 '! gdbus introspect --session --dest org.kde.StatusNotifierWatcher --object-path /' ||
    fail "the watcher did not go"
  printf '[Form]\r\nCBX2=1\r\n' > "$work/bin/pingrove.INI"
  "$work/bin/pingrove" > "$work/out.log" 2>&1 & app=$!; pids+=($app)
  waitfor 15 'test -n "$(xsearch --onlyvisible --pid $app --name "v1\.05$")"' || fail "no window"
  win=$(xsearch --onlyvisible --pid $app --name 'v1\.05$' | head -1)
}
start_without_watcher
waitfor 10 'xdotool windowminimize "$win"; iconic' || fail "without a host the window did not minimise"
before=$(registrations)
watcher
waitfor 10 '[ "$(registrations)" -gt "$before" ] && ! shown && ! iconic' ||
  fail "a panel that came while the window was on the task bar did not take it in"
kill -USR1 $host
waitfor 10 iconic || fail "the window stayed hidden when the last host went"
kill -TERM $app
waitfor 10 '! kill -0 $app' || fail "SIGTERM did not end the program"
echo "PASS: a late panel, and a watcher without a host"

# A real panel (LXQt's, whose status notifier plugin is watcher and host in one) that starts after
# the program is used at the next minimise; when the panel ends, the hidden window comes back.
command -v lxqt-panel >/dev/null || { echo "SKIP: lxqt-panel is not installed (the rest passed)"; exit 0; }
start_without_watcher
mkdir -p "$work/lxqt/lxqt"
printf '[panel1]\nplugins=statusnotifier\nposition=Bottom\n\n[statusnotifier]\ntype=statusnotifier\n' \
  > "$work/lxqt/lxqt/panel.conf"
XDG_CONFIG_HOME=$work/lxqt lxqt-panel > "$work/panel.log" 2>&1 & panel=$!; pids+=($panel)
waitfor 15 'watcher_get IsStatusNotifierHostRegistered | grep -q true' || fail "lxqt-panel did not start"
waitfor 10 'xdotool windowminimize "$win"; hidden' || fail "lxqt-panel: a panel that came late was not used"
watcher_get RegisteredStatusNotifierItems | grep -q "StatusNotifierItem-$app-" ||
  fail "lxqt-panel does not list the item: $(watcher_get RegisteredStatusNotifierItems)"
kill $panel
waitfor 10 iconic || fail "lxqt-panel: the window stayed hidden when the panel ended"
kill -TERM $app
waitfor 10 '! kill -0 $app' || fail "SIGTERM did not end the program"
echo "PASS: lxqt-panel, late and gone"

# KWin (which gives back the place a window was mapped at), the same way.
command -v kwin_x11 >/dev/null || { echo "SKIP: kwin_x11 is not installed (the rest passed)"; exit 0; }
kwin_x11 --replace > "$work/kwin.log" 2>&1 & pids+=($!)
waitfor 20 'wm_is KWin' || fail "KWin did not take over: $(cat "$work/kwin.log")"
watcher
desktop_round KWin
