#!/usr/bin/env bash
# Pen to ink, end to end, on a private X screen: a compositor, a panel with a
# notification area, an ordinary window, Kalvo and Tovik watching the screen
# through the simulated camera.
# The script clicks Tovik's automatic calibration with the pointer, waits for
# tracking, then steers the simulated light pen to pick Kalvo's screen pen and
# draw a house, a star and "OK". It leaves demo.png, report.json and the run's
# logs in the output folder and ends every process it started.
#
#   demo.sh [--size WxH] [--pose keystone|upright|mirrored|upside-down|rotated]
#           [--out DIR] [--bin DIR] [--test]
#
# --test: the shorter scenario the test suite runs (1024 x 768, house and
# "OK"); the exit status says whether every check passed.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
SIZE=1280x800
POSE=keystone
OUT=$ROOT/demo-output
BIN=$ROOT/build/dev/bin
TEST=0
PARTS_FIRST=house
PARTS_SECOND=star,ok
LIMIT=88 # seconds for the whole run, teardown included

usage() {
  sed -n '8,11p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

while (($#)); do
  case $1 in
    --size) SIZE=${2:?}; shift 2 ;;
    --pose) POSE=${2:?}; shift 2 ;;
    --out) OUT=${2:?}; shift 2 ;;
    --bin) BIN=${2:?}; shift 2 ;;
    --test) TEST=1; shift ;;
    -h | --help) usage ;;
    *) echo "demo: unknown option $1" >&2; usage ;;
  esac
done
if ((TEST)); then
  [[ $SIZE == 1280x800 ]] && SIZE=1024x768
  PARTS_FIRST=house
  PARTS_SECOND=ok
  LIMIT=150
fi
[[ $SIZE =~ ^([0-9]+)x([0-9]+)$ ]] || { echo "demo: --size WxH" >&2; exit 2; }
W=${BASH_REMATCH[1]}
H=${BASH_REMATCH[2]}
((W >= 640 && H >= 480 && W <= 4096 && H <= 4096)) || { echo "demo: size out of range" >&2; exit 2; }
case $POSE in
  keystone | upright | mirrored | upside-down | rotated) ;;
  *) echo "demo: unknown pose $POSE" >&2; usage ;;
esac
for tool in tovik kalvo e2e_driver e2e_report e2e_desktop e2e_panel libe2e_geometry_probe.so; do
  [[ -e $BIN/$tool ]] || { echo "demo: $BIN/$tool is missing (build first)" >&2; exit 2; }
done
for tool in Xvfb xcompmgr setsid; do
  command -v "$tool" >/dev/null || { echo "demo: $tool is not installed" >&2; exit 2; }
done

DRIVER=$BIN/e2e_driver
T0=$SECONDS
say() { printf '%3ds  %s\n' $((SECONDS - T0)) "$*"; }

mkdir -p "$OUT"
OUT=$(cd "$OUT" && pwd)
LOGS=$OUT/logs
rm -rf "$LOGS"
mkdir -p "$LOGS"
rm -f "$OUT/demo.png" "$OUT/report.json"
# Short paths for the sockets; private home, runtime and settings folders.
RUN=$(mktemp -d /tmp/tk-e2e.XXXXXX)
RUN_ID=${RUN##*/}
mkdir -p "$RUN/home" "$RUN/bin" "$RUN/runtime"
chmod 700 "$RUN/runtime"

# ---- processes: each in its own session, so a group kill ends it whole ----
PIDS=()
NAMES=()
WATCHDOG=
PEN_PID=
spawn() { # name command...
  local name=$1
  shift
  setsid env TK_E2E_RUN="$RUN_ID" "$@" >"$LOGS/$name.log" 2>&1 </dev/null &
  PIDS+=($!)
  NAMES+=("$name")
}
alive() { kill -0 "$1" 2>/dev/null; }
pid_of() { # name
  local i
  for i in "${!NAMES[@]}"; do
    [[ ${NAMES[$i]} == "$1" ]] && { echo "${PIDS[$i]}"; return; }
  done
}

# Processes of this run still there: the groups we started, and anything
# else carrying the run's mark in its environment.
leftovers() {
  local n=0 pid f
  for pid in "${PIDS[@]}"; do
    kill -0 -- "-$pid" 2>/dev/null && n=$((n + 1))
  done
  for f in /proc/[0-9]*/environ; do
    if grep -qsz "^TK_E2E_RUN=$RUN_ID\$" "$f" 2>/dev/null; then
      pid=${f#/proc/}
      pid=${pid%/environ}
      [[ " ${PIDS[*]} " == *" $pid "* ]] || n=$((n + 1))
    fi
  done
  echo "$n"
}

TORN_DOWN=0
LEFT=0
teardown() {
  ((TORN_DOWN)) && return 0
  TORN_DOWN=1
  [[ -n $WATCHDOG ]] && { kill -- "-$WATCHDOG" 2>/dev/null || true; }
  [[ -n $PEN_PID ]] && { kill "$PEN_PID" 2>/dev/null || true; }
  local i pid deadline
  # Programs first, the X server last, so nothing complains about a lost display.
  for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do
    kill -TERM -- "-${PIDS[$i]}" 2>/dev/null || true
    deadline=$((SECONDS + 3))
    while kill -0 -- "-${PIDS[$i]}" 2>/dev/null && ((SECONDS < deadline)); do sleep 0.05; done
    kill -KILL -- "-${PIDS[$i]}" 2>/dev/null || true
  done
  for pid in "${PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
  # Anything that left its group but kept the mark.
  for pid in $(grep -lsz "^TK_E2E_RUN=$RUN_ID\$" /proc/[0-9]*/environ 2>/dev/null |
    sed 's|/proc/\([0-9]*\)/environ|\1|'); do
    kill -KILL "$pid" 2>/dev/null || true
  done
  sleep 0.1
  LEFT=$(leftovers)
}
on_exit() {
  local rc=$?
  teardown
  rm -rf "$RUN"
  exit $rc
}
trap on_exit EXIT
trap 'echo "demo: interrupted" >&2; exit 130' INT TERM HUP

fail() {
  echo "demo: $*" >&2
  local name
  for name in tovik kalvo; do
    if [[ -s $LOGS/$name.log ]]; then
      echo "--- last lines of $name's output:" >&2
      tail -n 15 "$LOGS/$name.log" >&2
    fi
  done
  exit 1
}

# Waits until FILE has a line matching REGEX, while PROGRAM lives.
wait_for_line() { # file regex seconds program what
  local deadline=$((SECONDS + $3)) pid
  pid=$(pid_of "$4")
  until [[ -f $1 ]] && grep -qE "$2" "$1"; do
    alive "$pid" || fail "$4 ended while waiting for $5"
    ((SECONDS < deadline)) || fail "no $5 within $3 s"
    sleep 0.1
  done
}

# ---- the screen ----
say "private X screen $SIZE with a compositor"
# The server writes its display number into a FIFO held open both ways, so
# neither side blocks on opening it.
FIFO=$RUN/displayfd
mkfifo "$FIFO"
exec 4<>"$FIFO"
spawn xvfb Xvfb -displayfd 4 -screen 0 "${W}x${H}x24" -nolisten tcp -noreset
DISPLAY_NUMBER=
read -r -t 20 -u 4 DISPLAY_NUMBER || true
exec 4>&-
[[ $DISPLAY_NUMBER =~ ^[0-9]+$ ]] || fail "Xvfb did not start"
export DISPLAY=:$DISPLAY_NUMBER
# The whole run stays inside the limit: past it the script is told to stop
# and tears everything down.
setsid bash -c 'sleep "$1"; echo "demo: over $1 s, stopping" >&2; kill -TERM "$2"' _ \
  "$LIMIT" $$ </dev/null &
WATCHDOG=$!

export HOME=$RUN/home XDG_RUNTIME_DIR=$RUN/runtime XDG_CONFIG_HOME=$RUN/home/.config
export XDG_DATA_HOME=$RUN/home/.local/share QT_QPA_PLATFORM=xcb
unset SESSION_MANAGER WAYLAND_DISPLAY XDG_SESSION_TYPE || true
# No session bus: a bus address that goes nowhere, so that no program of the
# run starts one of its own (dbus-launch), which would outlive the run.
export DBUS_SESSION_BUS_ADDRESS=unix:path=$RUN/no-session-bus

spawn xcompmgr xcompmgr
# A panel with a notification area, where Tovik hides while it tracks.
spawn panel "$BIN/e2e_panel"
spawn desktop "$BIN/e2e_desktop" --geometry "$((W * 84 / 100))x$((H * 78 / 100))+$((W * 8 / 100))+$((H * 11 / 100))"

# Copies of the programs, so their settings files (beside them) are this
# run's own, with every value at its default.
cp "$BIN/tovik" "$BIN/kalvo" "$RUN/bin/"
[[ -e $BIN/jpgdll.so ]] && cp "$BIN/jpgdll.so" "$RUN/bin/"
PROBE=$BIN/libe2e_geometry_probe.so
SOCKET=$RUN/pen.sock
SIM_LOG=$LOGS/sim-frames.log
TOVIK_LOG=$LOGS/tovik-events.log
DUMP=$LOGS/kalvo-document.bin
FIGURE=$LOGS/figure.txt
: >"$FIGURE"

say "Kalvo"
spawn kalvo env LD_PRELOAD="$PROBE" TK_GEOMETRY_FILE="$RUN/kalvo.geometry" \
  KALVO_DUMP_DOCUMENT="$DUMP" "$RUN/bin/kalvo"
say "Tovik, its camera watching the screen ($POSE)"
spawn tovik env LD_PRELOAD="$PROBE" TK_GEOMETRY_FILE="$RUN/tovik.geometry" \
  TOVIK_EVENT_LOG="$TOVIK_LOG" "$RUN/bin/tovik" --print-messages \
  --camera "sim:screen,pose=$POSE,control=$SOCKET,log=$SIM_LOG"

# ---- the user's part ----
AUTO=$("$DRIVER" geometry "$RUN/tovik.geometry" 1005 --timeout 20) || fail "Tovik's console did not show"
say "click 自动(&A) at $AUTO"
# shellcheck disable=SC2086
"$DRIVER" click $AUTO
wait_for_line "$TOVIK_LOG" '^calibration ' 45 tovik "a completed calibration"
say "calibrated ($(awk '/^calibration /{k=$2} END{print k}' "$TOVIK_LOG")); count-down to tracking"
wait_for_line "$TOVIK_LOG" '^frame ' 15 tovik "tracking"
say "tracking"

# Runs pen commands from standard input. The driver runs in the background
# and is waited for, so an interrupt is acted on at once, not after a stroke.
pen() {
  local script=$RUN/pen-script
  cat >"$script"
  "$DRIVER" pen "$SOCKET" --timeout 10 <"$script" &
  PEN_PID=$!
  wait "$PEN_PID" || fail "the pen's control channel failed"
  PEN_PID=
}
tap_at() { # X Y
  "$DRIVER" tap "$@" >"$RUN/tap" || fail "no tap at '$*'"
  pen <"$RUN/tap"
}
DRAW=$("$DRIVER" geometry "$RUN/kalvo.geometry" 32771 --timeout 10) || fail "Kalvo's toolbar did not show"
say "pen taps 'Draw on the screen' at $DRAW"
# shellcheck disable=SC2086
tap_at $DRAW
sleep 0.4

# Kalvo's pen starts red.
say "pen draws in red: $PARTS_FIRST"
"$DRIVER" figure --screen "$SIZE" --parts "$PARTS_FIRST" --color FF0000 --figure "$FIGURE" >"$RUN/strokes"
pen <"$RUN/strokes"

# Blue from the colour dialog, picked with the pen as well; should the dialog
# not come, the rest is drawn in red and the report says so.
SECOND=FF0000
COLOR_BUTTON=$("$DRIVER" geometry "$RUN/kalvo.geometry" 32823 --timeout 5) || fail "no colour button"
say "pen taps 'Color Setting' at $COLOR_BUTTON"
# shellcheck disable=SC2086
tap_at $COLOR_BUTTON
if SWATCH=$("$DRIVER" geometry "$RUN/kalvo.geometry" swatch.0000FF --timeout 8); then
  say "pen picks blue at $SWATCH"
  # shellcheck disable=SC2086
  tap_at $SWATCH
  OK_BUTTON=$("$DRIVER" geometry "$RUN/kalvo.geometry" colordialog.ok --timeout 3) || fail "no OK in the colour dialog"
  # shellcheck disable=SC2086
  tap_at $OK_BUTTON
  SECOND=0000FF
  sleep 0.4
else
  say "no colour dialog: one colour only"
fi
say "pen draws in #$SECOND: $PARTS_SECOND"
"$DRIVER" figure --screen "$SIZE" --parts "$PARTS_SECOND" --color "$SECOND" --figure "$FIGURE" >"$RUN/strokes"
pen <"$RUN/strokes"
sleep 0.6

"$DRIVER" screenshot "$OUT/demo.png" || fail "no screenshot"
say "screenshot $OUT/demo.png"

# ---- the end: every process goes, then the numbers ----
teardown
say "all processes ended ($LEFT left)"
rc=0
"$BIN/e2e_report" --screen "$SIZE" --pose "$POSE" --sim-log "$SIM_LOG" --tovik-log "$TOVIK_LOG" \
  --kalvo-dump "$DUMP" --figure "$FIGURE" --screenshot "$OUT/demo.png" --leftover "$LEFT" \
  --json "$OUT/report.json" || rc=$?
say "report $OUT/report.json"
exit $rc
