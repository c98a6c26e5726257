# Shared by the test scripts that drive the real program (source it after setting `work`, the
# script's temporary folder): background processes in `pids` are killed and `work` is removed at
# exit, `waitfor SECONDS 'CONDITION'` evaluates the condition until it holds, and `xsearch ARGS`
# is `xdotool search ARGS` that survives a window vanishing while it looks.
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
