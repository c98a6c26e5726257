#!/usr/bin/env bash
# A save reaches the disk in the order that survives a power loss: the temporary file is flushed,
# then renamed over the old one, then its folder is flushed. Watched with strace on a real save
# (the test ProfileFile.NewFileGetsKeysInTheOrderWritten of TESTS). Usage: durable_write.sh TESTS
set -u
command -v strace >/dev/null || { echo "SKIP: strace is not installed"; exit 77; }
log=$(mktemp /tmp/pingrove-strace-XXXXXX)
trap 'rm -f "$log"' EXIT
# LeakSanitizer cannot run under ptrace: an AddressSanitizer build is watched without it.
QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0 strace -f -y -qq -e trace=fsync,fdatasync,rename,renameat,renameat2 \
  -o "$log" "$1" --gtest_filter=ProfileFile.NewFileGetsKeysInTheOrderWritten >/dev/null ||
  { echo "FAIL: the save itself failed"; exit 1; }
/usr/bin/python3 - "$log" <<'PY'
import re, sys
lines = open(sys.argv[1]).read().splitlines()
rename = re.compile(r'rename(?:at2?)?\((?:AT_FDCWD<[^>]*>, |\d+<[^>]*>, )?"([^"]*/)(\.[^"/]+\.\w{6}\.pingrove-tmp)", (?:AT_FDCWD<[^>]*>, |\d+<[^>]*>, )?"([^"]*)"')
fsync = re.compile(r'f(?:data)?sync\(\d+<([^>]*)>\)')
for i, line in enumerate(lines):
    m = rename.search(line)
    if not m:
        continue
    folder, temp, final = m.group(1), m.group(1) + m.group(2), m.group(3)
    synced = [(j, fsync.search(l).group(1)) for j, l in enumerate(lines) if fsync.search(l)]
    before = any(j < i and path == temp for j, path in synced)
    after = any(j > i and path == folder.rstrip('/') for j, path in synced)
    print(f"{final}: fsync(temporary file) before the rename: {before}; fsync(folder) after: {after}")
    sys.exit(0 if before and after else 1)
print("FAIL: no rename of a temporary file was seen")
sys.exit(1)
PY
