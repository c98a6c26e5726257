# Shared by the test scripts that drive the real program (source it after setting `work`, the
# script's temporary folder): background processes in `pids` are killed and `work` is removed at
# exit, and `waitfor SECONDS 'CONDITION'` evaluates the condition until it holds.
pids=()
extra_cleanup() { :; }
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  extra_cleanup
  rm -rf "$work"
}
trap cleanup EXIT
waitfor() {
  local end=$((SECONDS + $1))
  until eval "$2" >/dev/null 2>&1; do [ $SECONDS -ge $end ] && return 1; sleep 0.2; done
}
