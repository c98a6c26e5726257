#!/usr/bin/env bash
# Drives the real program like a person would: under Xvfb with a window manager and an XEmbed tray,
# in a temporary folder with a prepared target list. Usage: run.sh PATH/TO/pingrove [SHOT_DIR]
# With SHOT_DIR, screenshots of each step are kept there. Exit 77 (skipped) without the X tools.
set -u
exe=$(readlink -f "$1")
shots=${2:-}
for tool in Xvfb xdotool xprop openbox trayer; do
  command -v $tool >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
work=$(mktemp -d /tmp/pingrove-e2e-XXXXXX)
display=:$((90 + RANDOM % 400))
. "$(dirname "$(readlink -f "$0")")/../script_support.sh"
fail() { echo "FAIL: $*"; shot failure; [ -f "$work/out.log" ] && sed 's/^/  pingrove: /' "$work/out.log"; exit 1; }
shot() {
  [ -n "$shots" ] || return 0
  mkdir -p "$shots" && import -display $display -window root "$shots/$1.png"
}
# Windows are found by process and by the ASCII part of the caption: xdotool's matching of
# Japanese window names depends on the X locale support of the machine.
mainwin() { xsearch --all --onlyvisible --pid "$1" --name 'v1\.05$' | head -1; }
otherwin() { xsearch --all --onlyvisible --pid "$1" --name . | grep -vx "${2:-none}" | head -1; }

here=$(dirname "$(readlink -f "$0")")
Xvfb $display -noreset -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 & pids+=($!)
export DISPLAY=$display XDG_RUNTIME_DIR=$work/run LANG=ja_JP.UTF-8
# What the window goes through on its way to the tray and back, printed when a check fails.
export QT_LOGGING_RULES="pingrove.tray.window.debug=true"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
waitfor 10 "xdotool getmouselocation" || fail "Xvfb did not start"
openbox >/dev/null 2>&1 & pids+=($!)
trayer --edge bottom --align right --widthtype pixel --width 64 --heighttype pixel --height 24 \
  >/dev/null 2>&1 & pids+=($!)
waitfor 10 'wm_is Openbox && xembed_tray_owned' || fail "openbox or the tray did not start"
# A session bus, so that the program shows its controls on the accessibility bus (AT-SPI).
a11y=false
if command -v dbus-launch >/dev/null && /usr/bin/python3 -c 'import pyatspi' 2>/dev/null; then
  eval "$(dbus-launch --sh-syntax)" && pids+=($DBUS_SESSION_BUS_PID) && a11y=true
  export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
fi
named() {  # named STEP: every control on show has a name a screen reader can announce
  $a11y || return 0
  /usr/bin/python3 "$here/accessible_names.py" "$app" > "$work/a11y-$1.log" 2>&1 ||
    fail "controls without an accessible name ($1): $(grep -E 'no name|not on' "$work/a11y-$1.log" | head -5)"
  echo "accessible names, $1: $(grep -vc "^note" "$work/a11y-$1.log") controls, all named"
}

# The program runs from its own folder copy, so its settings file lands there.
mkdir -p "$work/bin" "$work/cwd"
cp "$exe" "$work/bin/pingrove"
cp -r "$(dirname "$exe")/sounds" "$work/bin/" 2>/dev/null
printf '"IP";"Name"\r\n"127.0.0.1";"\x8e\xa9\x95\xaa"\r\n"127.0.0.2";"loop"\r\n' > "$work/cwd/iplist.txt"
cp "$work/cwd/iplist.txt" "$work/expected.txt"
cd "$work/cwd"
"$work/bin/pingrove" > "$work/out.log" 2>&1 & app=$!; pids+=($app)
waitfor 15 'test -n "$(mainwin $app)"' || fail "main window did not appear"
win=$(mainwin $app)
sleep 1
shot main
named main-window

# A second start is refused with its message and leaves with status 0.
"$work/bin/pingrove" > "$work/second.log" 2>&1 & second=$!
waitfor 10 'test -n "$(otherwin $second)"' || fail "no refusal message from a second start"
shot second-start
box=$(otherwin $second)
[ "$(xdotool getwindowname "$box")" = "ピングローブ" ] || echo "note: refusal caption reads $(xdotool getwindowname "$box")"
xdotool windowactivate --sync "$box" key Return
waitfor 10 '! kill -0 $second' || fail "second start did not end"
wait $second; [ $? -eq 0 ] || fail "second start ended with a non-zero status"
[ -z "$(mainwin $second)" ] || fail "second window appeared"

# All scan with the toolbar's second button.
xdotool windowactivate --sync "$win"
eval "$(xdotool getwindowgeometry --shell "$win")"
xdotool mousemove --window "$win" 38 34 click 1
sleep 5
shot all-scan

# The two dialogs and the about box, through the menus, each closed again.
openmenu() {  # openmenu X: a top-level item of the menu bar, by its position
  xdotool windowactivate --sync "$win"
  xdotool mousemove --window "$win" "$1" 8 click 1
}
# A dialog is ready for keys once it is the active window; it is gone once no other window is.
modal() {
  waitfor 5 'test -n "$(otherwin $app $win)"' &&
    xdotool windowactivate --sync "$(otherwin $app $win)" >/dev/null 2>&1
}
closed() { waitfor 5 'test -z "$(otherwin $app $win)"' || fail "$1 did not close"; }
openmenu 135; modal || fail "settings dialog did not open"; shot settings-dialog
named settings-dialog
first=$(xdotool getwindowgeometry "$(otherwin $app $win)" | grep Position)
xdotool key Escape; closed "the settings dialog"
for again in 2 3; do  # shown again, the dialog comes back to the same place
  openmenu 135; modal || fail "settings dialog did not open again"
  place=$(xdotool getwindowgeometry "$(otherwin $app $win)" | grep Position)
  xdotool key Escape; closed "the settings dialog"
  [ $again = 2 ] && second=$place
done
[ "$place" = "$second" ] || fail "the settings dialog moved between showings: $second, then $place"
echo "settings dialog: $first, then $second"
# Menus have no caption: they are counted among the program's visible windows.
windows() { xsearch --onlyvisible --pid "$app" | wc -l; }
before=$(windows)
openmenu 98; waitfor 5 '[ "$(windows)" -gt "$before" ]' || fail "the edit menu did not open"
xdotool key Down Return; modal || fail "add dialog did not open"
shot add-dialog
named add-dialog
xdotool key Escape; closed "the add dialog"
openmenu 200; modal || fail "about box did not open"; shot about-box
xdotool key Return; closed "the about box"

# Minimise to the tray (auto scan is on by default) and restore with a click on the icon.
xdotool windowminimize "$win"
waitfor 5 'test -z "$(mainwin $app)"' || fail "window did not leave for the tray"
shot tray
tray=$(xsearch --onlyvisible --class trayer | head -1)
eval "$(xdotool getwindowgeometry --shell "$tray")"
iconx=$((X + WIDTH - 12)) icony=$((Y + HEIGHT / 2))  # trayer packs its icons to the right
# The icon acts on the release of a button, not on its press.
before=$(windows)
xdotool mousemove $iconx $icony mousedown 3
sleep 1
[ "$(windows)" = "$before" ] || fail "the tray menu opened on the press of the right button"
xdotool mouseup 3
waitfor 5 '[ "$(windows)" -gt "$before" ]' || fail "the tray menu did not open on the release"
sleep 0.5
shot tray-menu
xdotool key Escape
sleep 0.5
xdotool mousemove $iconx $icony mousedown 1
sleep 1
[ -z "$(mainwin $app)" ] || fail "the window came back on the press of the left button"
xdotool mouseup 1
waitfor 5 'test -n "$(mainwin $app)"' || fail "tray click did not restore"
shot restored

# Maximised, into the tray and back with a click: maximised again, and un-maximised it has its
# normal size back (openbox drops the maximised state of a window that is given its normal
# geometry as it is mapped).
size() { xwininfo -id "$win" | awk '/Width:|Height:/ {print $NF}' | xargs; }
maximised() { xprop -id "$win" _NET_WM_STATE | grep -q MAXIMIZED_HORZ; }
normal_size=$(size)
/usr/bin/python3 "$here/../tray/maximize.py" "$win" add
waitfor 10 maximised || fail "the window was not maximised"
xdotool windowminimize "$win"
waitfor 5 'test -z "$(mainwin $app)"' || fail "the maximised window did not leave for the tray"
waitfor 10 'xdotool mousemove $iconx $icony mousedown 1 mouseup 1; test -n "$(mainwin $app)"' ||
  fail "a click on the icon did not bring the maximised window back"
waitfor 10 maximised || fail "the maximised window came back $(size), not maximised"
/usr/bin/python3 "$here/../tray/maximize.py" "$win" remove
waitfor 10 '! maximised && [ "$(size)" = "$normal_size" ]' ||
  fail "un-maximised after the tray the window is $(size), not $normal_size"

# Close through the menu item 終了: the question, Yes, then both files on disk.
xdotool windowactivate --sync "$win"
xdotool mousemove --window "$win" 20 8 click 1
waitfor 10 'test -n "$(otherwin $app $win)"' || fail "no close question"
shot close-query
xdotool windowactivate --sync "$(otherwin $app $win)" key Return
waitfor 10 '! kill -0 $app' || fail "program did not end after Yes"
wait $app; [ $? -eq 0 ] || fail "program ended with a non-zero status"
cmp -s "$work/cwd/iplist.txt" "$work/expected.txt" || fail "iplist.txt changed: $(od -c "$work/cwd/iplist.txt" | head -5)"
ini="$work/bin/pingrove.INI"
[ -f "$ini" ] || fail "no settings file beside the executable"
for key in Left Top Width Height WindowState LCWidth0 LCWidth4 MIN CBX1 CBX2 DF; do
  grep -q "^$key=" "$ini" || fail "settings file lacks $key"
done
grep -q '^Width=610$' "$ini" || fail "unexpected width: $(grep Width "$ini")"
echo "end-to-end run passed"
