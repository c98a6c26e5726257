#!/usr/bin/env bash
# Debian's Xfce panel (xfce4-panel 4.18 under xfwm4, its status tray a StatusNotifierItem host
# that shows the item's menu through libdbusmenu), on a private session bus under Xvfb: the menu's
# group calls as libdbusmenu sends them, then 元に戻す and 終了 clicked in the panel's own menu.
# Usage: xfce_panel.sh PATH/TO/pingrove. Exit 77 (skipped) without the tools.
set -u
exe=$(readlink -f "$1")
here=$(dirname "$(readlink -f "$0")")
work=$(mktemp -d /tmp/pingrove-xfce-XXXXXX)
. "$here/../script_support.sh"
require_tools Xvfb xdotool openbox xprop dbus-launch gdbus xfwm4 xfce4-panel

# One panel at the bottom with only the status tray, read by xfconfd (started by the bus) from
# this folder alone, so that the panel asks nothing at its first start.
export XDG_CONFIG_HOME=$work/config XDG_CONFIG_DIRS=$work/none XDG_RUNTIME_DIR=$work/run LANG=C.UTF-8
mkdir -p "$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
cat > "$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml/xfce4-panel.xml" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=8;x=512;y=755"/>
      <property name="length" type="uint" value="100"/>
      <property name="size" type="uint" value="26"/>
      <property name="plugin-ids" type="array"><value type="int" value="1"/></property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="systray"/>
  </property>
</channel>
EOF
start_x
eval "$(dbus-launch --sh-syntax)" && pids+=($DBUS_SESSION_BUS_PID)
xfwm4 --replace > "$work/xfwm4.log" 2>&1 & pids+=($!)
waitfor 10 'wm_is Xfwm4' || fail "xfwm4 did not take over from openbox"
xfce4-panel > "$work/panel.log" 2>&1 & pids+=($!)
watcher_get() {
  gdbus call --session --dest org.kde.StatusNotifierWatcher --object-path /StatusNotifierWatcher \
    --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher "$1"
}
waitfor 20 'watcher_get IsStatusNotifierHostRegistered | grep -q true' ||
  fail "xfce4-panel's status tray did not start: $(cat "$work/panel.log")"

mkdir -p "$work/bin" "$work/cwd"
cp "$exe" "$work/bin/pingrove"
printf '[Form]\r\nCBX2=1\r\n' > "$work/bin/pingrove.INI"
printf '"IP";"Name"\r\n"127.0.0.1";"loop"\r\n' > "$work/cwd/iplist.txt"
cd "$work/cwd"
"$work/bin/pingrove" > "$work/out.log" 2>&1 & app=$!; pids+=($app)
waitfor 15 'test -n "$(xsearch --onlyvisible --pid $app --name "v1\.05$")"' ||
  fail "main window did not appear"
win=$(xsearch --onlyvisible --pid $app --name 'v1\.05$' | head -1)
shown() { xsearch --onlyvisible --pid "$app" --name 'v1\.05$' | grep -qx "$win"; }
otherwin() { xsearch --all --onlyvisible --pid "$app" --name . | grep -vx "$win" | head -1; }
geometry() { xdotool getwindowgeometry --shell "$1" | tr '\n' ' '; }
# The panel's tray, once it shows an item: its windows run in the plugin's own process.
tray() {
  local w
  for w in $(xsearch --onlyvisible --name '^wrapper-2\.0$'); do
    eval "$(geometry "$w")"
    [ "$Y" -ge 700 ] && [ "$WIDTH" -gt 16 ] && { echo "$((X + WIDTH / 2)) $((Y + HEIGHT / 2))"; return 0; }
  done
  return 1
}
registered() { watcher_get RegisteredStatusNotifierItems | grep -q "StatusNotifierItem-$app-"; }
# A minimise before the program has heard from the panel's watcher gives Qt's own tray icon, which
# Qt makes a StatusNotifierItem of its own: a click on it brings the window back, and the next
# minimise tries again.
into_the_tray() {
  local x y
  for _ in 1 2 3 4 5; do
    waitfor 10 'xdotool windowminimize "$win"; ! shown' || fail "the window did not go into the tray"
    waitfor 10 tray || fail "no icon in the panel's tray"
    waitfor 3 registered && return 0
    read -r x y < <(tray)
    xdotool mousemove "$x" "$y" click 1
    waitfor 10 shown || fail "a click on Qt's tray icon did not bring the window back"
  done
  fail "the item never registered with the panel's watcher"
}

# The group calls, with the signatures libdbusmenu sends: only "clicked" acts, an id that names
# nothing comes back, and a call that names nothing is an error.
into_the_tray
item=org.kde.StatusNotifierItem-$app-1
menu() {
  local method=$1; shift
  gdbus call --session --dest $item --object-path /MenuBar --method com.canonical.dbusmenu.$method -- "$@" 2>&1
}
[ "$(menu AboutToShowGroup '@ai [0]')" = "(@ai [], @ai [])" ] || fail "AboutToShowGroup: $(menu AboutToShowGroup '@ai [0]')"
menu GetGroupProperties '@ai []' '@as ["label"]' | grep -q "'終了'" || fail "GetGroupProperties: $(menu GetGroupProperties '@ai []' '@as []')"
[ "$(menu EventGroup "[(1, 'hovered', <int32 0>, uint32 0), (99, 'clicked', <int32 0>, uint32 0)]")" = "([99],)" ] ||
  fail "EventGroup: $(menu EventGroup "[(1, 'hovered', <int32 0>, uint32 0)]")"
menu EventGroup "[(99, 'clicked', <int32 0>, uint32 0)]" | grep -q InvalidArgs || fail "EventGroup of nothing"

# Right click on the item, a click on an entry of the panel's menu.
choose() {  # choose N: the Nth of the menu's two entries
  local before
  before=$(xsearch --onlyvisible --name '^wrapper-2\.0$' | wc -l)
  read -r x y < <(tray)
  xdotool mousemove "$x" "$y" click 3
  waitfor 10 '[ "$(xsearch --onlyvisible --name "^wrapper-2\.0$" | wc -l)" -gt "$before" ]' ||
    fail "the panel opened no menu"
  local w
  for w in $(xsearch --onlyvisible --name '^wrapper-2\.0$'); do
    eval "$(geometry "$w")"
    [ "$Y" -lt 700 ] && [ "$HEIGHT" -gt 30 ] && break  # not the panel's tray, nor its 10×10 helper
  done
  # Two entries of equal height inside the menu's frame.
  xdotool mousemove -- $((X + WIDTH / 2)) $((Y + HEIGHT * (6 * $1 - 1) / 16)) click 1
}
choose 1
waitfor 10 shown || { xprop -id "$win" WM_STATE; fail "元に戻す in the panel's menu did not bring the window back"; }
into_the_tray
choose 2
waitfor 10 'test -n "$(otherwin)"' || fail "no close question after 終了 in the panel's menu"
xdotool windowactivate --sync "$(otherwin)" key Return
waitfor 10 '! kill -0 $app' || fail "the program did not end after はい"
wait $app; status=$?
[ $status -eq 0 ] || fail "the program ended with status $status"
echo "PASS: xfce4-panel's menu: the group calls, 元に戻す and 終了"
