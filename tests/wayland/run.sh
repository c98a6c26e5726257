#!/usr/bin/env bash
# On a Wayland desktop with XWayland, the program comes up as an X11 client: its window is one the
# X server knows. A headless weston with XWayland stands in for the desktop.
# Usage: run.sh PATH/TO/pingrove. Exit 77 (skipped) without weston, XWayland or xdotool.
set -u
exe=$(readlink -f "$1")
for tool in weston Xwayland xdotool; do
  command -v $tool >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
work=$(mktemp -d /tmp/pingrove-wayland-XXXXXX)
. "$(dirname "$(readlink -f "$0")")/../script_support.sh"
fail() { echo "FAIL: $*"; sed 's/^/  weston: /' "$work/weston.log" | tail -5; sed 's/^/  pingrove: /' "$work/out.log" 2>/dev/null; exit 1; }
export XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_RUNTIME_DIR" "$work/cwd" && chmod 700 "$XDG_RUNTIME_DIR"
weston --backend=headless-backend.so --xwayland --socket=wayland-pingrove --idle-time=0 \
  > "$work/weston.log" 2>&1 & pids+=($!)
waitfor 15 'grep -q "xserver listening on display" "$work/weston.log"' || fail "weston did not start"
display=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$work/weston.log" | head -1)
cp "$exe" "$work/pingrove"
cd "$work/cwd"
unset QT_QPA_PLATFORM
env WAYLAND_DISPLAY=wayland-pingrove XDG_SESSION_TYPE=wayland DISPLAY="$display" \
  "$work/pingrove" > "$work/out.log" 2>&1 & app=$!; pids+=($app)
waitfor 20 'test -n "$(DISPLAY=$display xdotool search --all --pid $app --name "v1\.05$")"' ||
  fail "no X11 window of the program on $display"
echo "the program came up on the X11 platform under Wayland ($display)"
