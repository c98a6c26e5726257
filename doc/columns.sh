#!/usr/bin/env bash
# Makes doc/columns.png: the real program with every optional column shown, after three all
# scans of six targets in the test network, with a week of history behind the uptime columns.
#   sudo tests/netns_run.sh doc/columns.sh build/test/pingrove [OUT.png]
# The warehouse camera (198.18.3.10, whose kernel does not answer echo) answers the first and
# the last scan only, so that one row shows a loss.
set -u
exe=$(readlink -f "$1")
out=$(readlink -f "${2:-$(dirname "$0")/columns.png}")
work=$(mktemp -d /tmp/pingrove-columns-XXXXXX)
. "$(dirname "$(readlink -f "$0")")/../tests/script_support.sh"
require_tools Xvfb openbox xdotool xwininfo import
[ -n "${PINGROVE_NETNS_SLOW:-}" ] || fail "run me through tests/netns_run.sh"
export TZ=Asia/Tokyo LANG=ja_JP.UTF-8 XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_RUNTIME_DIR" "$work/bin" "$work/cwd" && chmod 700 "$XDG_RUNTIME_DIR"
# Xvfb's abstract socket belongs to this network namespace, so the display is started here.
DISPLAY=:$((500 + RANDOM % 400))
export DISPLAY
Xvfb "$DISPLAY" -noreset -screen 0 1280x720x24 -nolisten tcp >/dev/null 2>&1 & pids+=($!)
waitfor 10 "xdotool getmouselocation" || fail "Xvfb did not start"
openbox > "$work/openbox.log" 2>&1 & pids+=($!)
waitfor 10 'wm_is Openbox' || fail "openbox did not start"

cp "$exe" "$work/bin/pingrove"
cp -r "$(dirname "$exe")/sounds" "$(dirname "$exe")/pingrove-sound.so" "$work/bin/" 2>/dev/null
# The list in UTF-8, as a Linux editor writes it; a window wide enough for all the columns.
{
  printf '"IP";"Name"\r\n'
  printf '"%s";"%s"\r\n' 198.18.1.10 本社ルーター fd00:198:18:1::10 本社ルーター（IPv6） \
    198.18.2.10 支店Aゲートウェイ 198.18.3.10 倉庫カメラ 127.0.0.2 ファイルサーバー \
    127.0.0.3 プリンター（2階）
} > "$work/cwd/iplist.txt"
sed 's/$/\r/' > "$work/bin/pingrove.INI" <<'INI'
[Form]
Left=20
Top=20
Width=1090
Height=440
WindowState=0
MIN=5
CBX1=0
CBX2=1
LCShow=5,6,7,8,9,10
LCWidth0=20
LCWidth1=130
LCWidth2=150
LCWidth3=90
LCWidth4=70
LCWidth5=70
LCWidth6=60
LCWidth7=90
LCWidth8=140
LCWidth9=110
LCWidth10=100
INI

# A week of history: the head office answered all along but for a short outage two days ago,
# the branch gateway has been down for three hours and was down half a night before, the camera
# drops out now and then, the file server and the printer answered throughout, and the head
# office's IPv6 address has been watched since yesterday.
now=$(date +%s)
line() {  # line HOURS_AGO ADDRESS NAME online|offline
  local when state status reason rtt
  when=$(date -d "@$((now - $1 * 3600))" +%Y-%m-%dT%H:%M:%S+09:00)
  if [ "$4" = online ]; then state=オンライン status=0 reason=応答あり rtt=0.08
  else state=オフライン status=11010 reason=時間切れ rtt=; fi
  printf '%s,%s,%s,%s,%s,%s,%s\r\n' "$when" "$2" "$3" "$state" "$status" "$reason" "$rtt"
}
{
  printf '\xEF\xBB\xBF日時,アドレス,名前,状態,状態コード,理由,応答時間（ms）\r\n'
  line 168 198.18.1.10 本社ルーター online
  line 168 198.18.2.10 支店Aゲートウェイ online
  line 168 198.18.3.10 倉庫カメラ online
  line 168 127.0.0.2 ファイルサーバー online
  line 168 127.0.0.3 "プリンター（2階）" online
  line 100 198.18.2.10 支店Aゲートウェイ offline
  line 95 198.18.2.10 支店Aゲートウェイ online
  line 80 198.18.3.10 倉庫カメラ offline
  line 77 198.18.3.10 倉庫カメラ online
  line 49 198.18.1.10 本社ルーター offline
  line 48 198.18.1.10 本社ルーター online
  line 30 fd00:198:18:1::10 "本社ルーター（IPv6）" online
  line 20 198.18.3.10 倉庫カメラ offline
  line 18 198.18.3.10 倉庫カメラ online
  line 3 198.18.2.10 支店Aゲートウェイ offline
} > "$work/bin/pingrove-history.csv"

cd "$work/cwd" || exit 1
"$work/bin/pingrove" > "$work/out.log" 2>&1 & app=$!; pids+=("$app")
waitfor 15 'test -n "$(xsearch --onlyvisible --pid $app --name "v1\.05$")"' ||
  fail "the window did not appear"
win=$(xsearch --onlyvisible --pid $app --name 'v1\.05$' | head -1)
camera() { ip netns exec "$PINGROVE_NETNS_SLOW" sysctl -qw net.ipv4.icmp_echo_ignore_all="$1"; }
# An all scan of six targets takes at most six probes of 2 s (a reply waited for 1 s, then
# a pause of 1 s).
scan() {
  xdotool windowactivate --sync "$win" key F5
  sleep 15
}
camera 0; scan
camera 1; scan
camera 0; scan
# The first row selected; the pointer away from the list, so that no tooltip shows. The cells
# of the durations are worked out when they are painted, and painted again every 30 s: the
# picture waits for that, so that all of them were painted at one moment.
xdotool windowactivate --sync "$win" mousemove --window "$win" 300 93 click 1 \
  mousemove --window "$win" 1000 420
sleep 31
# The picture takes in openbox's frame: the window's parent.
frame=$(xwininfo -children -id "$win" | awk '/Parent window id/ {print $4}')
# A palette of 256 colours holds every colour of these widgets: a quarter of the bytes.
import -window "$frame" -strip -dither None -colors 256 "PNG8:$out" || fail "import"
echo "wrote $out"
