# Shared by the test scripts that drive the real program (source it after setting `work`, the
# script's temporary folder): background processes in `pids` are killed and `work` is removed at
# exit, `waitfor SECONDS 'CONDITION'` evaluates the condition until it holds, and `xsearch ARGS`
# is `xdotool search ARGS` that survives a window vanishing while it looks. `require_tools`,
# `fail`, `start_x` and `sanitizer_env` serve the scripts that start the program under Xvfb.
pids=()
extra_cleanup() { :; }
# Newest first (the program before its display), and each one gone before the script ends: a
# program that closes on SIGTERM saves first, and one left running would hold the single-instance
# lock of the next test.
cleanup() {
  local i p
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    p=${pids[i]}
    kill "$p" 2>/dev/null || continue
    for _ in $(seq 50); do kill -0 "$p" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$p" 2>/dev/null
  done
  extra_cleanup
  rm -rf "$work"
}
trap cleanup EXIT
waitfor() {
  local end=$((SECONDS + $1))
  until eval "$2" >/dev/null 2>&1; do [ $SECONDS -ge $end ] && return 1; sleep 0.2; done
}

# xdotool dies of an X error (BadWindow) when a window it is looking at goes away meanwhile, as a
# closing menu or message box does: then it looks again.
xsearch() {
  local out
  for _ in 1 2 3 4 5; do
    out=$(xdotool search "$@" 2>"$work/.xsearch-errors")
    grep -q 'X Error\|BadWindow' "$work/.xsearch-errors" 2>/dev/null && { sleep 0.1; continue; }
    [ -n "$out" ] && printf '%s\n' "$out"
    return 0
  done
  return 1
}

# Skips the test (status 77) unless every named command is installed.
require_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
  done
}

# Fails the test with a reason and what the program printed ($work/out.log); a script may
# define its own instead.
fail() { echo "FAIL: $*"; [ -f "$work/out.log" ] && sed 's/^/  pingrove: /' "$work/out.log"; exit 1; }

# A virtual X display of its own (extra arguments go to Xvfb) with openbox: DISPLAY is set.
start_x() {
  DISPLAY=:$((500 + RANDOM % 400))
  export DISPLAY
  Xvfb "$DISPLAY" "$@" -noreset -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 & pids+=($!)
  waitfor 10 "xdotool getmouselocation" || fail "Xvfb did not start"
  openbox > "$work/openbox.log" 2>&1 & pids+=($!)
  # A window mapped before the window manager runs is taken over later, in another state.
  waitfor 10 'wm_is Openbox' || fail "openbox did not start: $(cat "$work/openbox.log")"
}

# Whether an XEmbed tray (trayer, a panel's tray) owns the tray selection of screen 0.
xembed_tray_owned() {
  /usr/bin/python3 -c '
import ctypes, sys
x = ctypes.cdll.LoadLibrary("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x.XInternAtom.restype = ctypes.c_ulong
x.XGetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x.XGetSelectionOwner.restype = ctypes.c_ulong
d = x.XOpenDisplay(None)
sys.exit(0 if d and x.XGetSelectionOwner(d, x.XInternAtom(d, b"_NET_SYSTEM_TRAY_S0", 0)) else 1)'
}

# Whether the window manager that runs now is NAME (as it names itself in _NET_WM_NAME): one
# that replaces another is ready only once the check window is its own.
wm_is() {
  local check
  check=$(xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | awk '/window id/ {print $NF}')
  [ -n "$check" ] && xprop -id "$check" _NET_WM_NAME 2>/dev/null | grep -q "\"$1\""
}

# A sanitizer build keeps its options through the clean environment (env -i) a script may give
# the program: "${sanitizer_env[@]}" goes right after env -i.
sanitizer_env=()
for v in ASAN_OPTIONS LSAN_OPTIONS TSAN_OPTIONS UBSAN_OPTIONS; do
  [ -n "${!v:-}" ] && sanitizer_env+=("$v=${!v}")
done
