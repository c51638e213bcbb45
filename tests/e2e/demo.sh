#!/usr/bin/env bash
# Pen to ink, end to end, on a private desktop (tests/desktop/with_desktop.sh:
# X screen, session bus, window manager, compositor), with a panel holding a
# notification area, an ordinary window, Kalvo and Tovik watching the
# projector monitor through the simulated camera.
# The script clicks Tovik's automatic calibration with the pointer, waits for
# tracking, then steers the simulated light pen to pick Kalvo's screen pen and
# draw a house, a star and "OK", and holds the pen still for one right click.
# It leaves demo.png, report.json and the run's logs in the output folder
# (failure.png when a step fails) and ends every process it started.
#
#   demo.sh [--size WxH] [--screens WxH+WxH...[,primary=N]] [--projector N]
#           [--wm none|openbox|mutter|kwin|xfwm4]
#           [--pose keystone|upright|mirrored|upside-down|rotated]
#           [--optics ideal|webcam] [--out DIR] [--bin DIR] [--test]
#           [--reuse-calibration] [--edit] [--unplug] [--pointer-limits MEAN,MAX]
#           [--house-only]
#
# --screens: monitors side by side (see with_desktop.sh); --size WxH is one
# monitor of that size. --projector: the monitor the camera films and Tovik
# targets, counted from 0 (default: the last). --optics webcam: the simulated
# camera has a cheap webcam's lens and sensor (distortion, blur, noise, bloom,
# room light, exposure lag; see README). --test: the shorter scenario the test
# suite runs (1024 x 768, house and "OK", the count-down cut short with its
# "立即运行" button); the exit status says whether every check passed.
# --house-only: the pen draws the house and nothing else (no colour dialog,
# no right click), for runs about the calibration and the pointer.
# --reuse-calibration: Tovik keeps its calibration (ReuseCalibration=1), is
# quit once tracking runs and started again, and tracks on the stored one.
# --edit: after the house, the eraser takes its door away, Ctrl+Z brings it
# back, Ctrl+Y erases it again and Ctrl+Z brings it back for good; at the end
# the board is saved. --unplug: the camera is unplugged for two seconds after
# the house. --pointer-limits: the report's pointer error limits in pixels.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
SELF=$ROOT/tests/e2e/demo.sh
WRAPPER=$ROOT/tests/desktop/with_desktop.sh
# shellcheck source=../support/desktop.sh
source "$ROOT/tests/support/desktop.sh"

# The part that runs on the desktop, started by with_desktop.sh below.
if [[ ${1:-} == --on-desktop ]]; then
  inner=1
else
  inner=0
fi

usage() {
  usage_from_header "${BASH_SOURCE[0]}"
  exit 2
}

if ((!inner)); then
  SIZE=1280x800
  SCREENS=
  PROJECTOR=
  WM=none
  POSE=keystone
  OPTICS=ideal
  OUT=$ROOT/demo-output
  BIN=$ROOT/build/dev/bin
  TEST=0
  SIZE_GIVEN=0
  REUSE=0 EDIT=0 UNPLUG=0 POINTER_LIMITS= HOUSE_ONLY=0
  while (($#)); do
    case $1 in
      --size) SIZE=${2:?}; SIZE_GIVEN=1; shift 2 ;;
      --screens) SCREENS=${2:?}; shift 2 ;;
      --projector) PROJECTOR=${2:?}; shift 2 ;;
      --wm) WM=${2:?}; shift 2 ;;
      --pose) POSE=${2:?}; shift 2 ;;
      --optics) OPTICS=${2:?}; shift 2 ;;
      --out) OUT=${2:?}; shift 2 ;;
      --bin) BIN=${2:?}; shift 2 ;;
      --test) TEST=1; shift ;;
      --reuse-calibration) REUSE=1; shift ;;
      --edit) EDIT=1; shift ;;
      --unplug) UNPLUG=1; shift ;;
      --pointer-limits) POINTER_LIMITS=${2:?}; shift 2 ;;
      --house-only) HOUSE_ONLY=1; shift ;;
      -h | --help) usage ;;
      *) echo "demo: unknown option $1" >&2; usage ;;
    esac
  done
  PARTS_FIRST=house
  PARTS_SECOND=star,ok
  LIMIT=100 # seconds for the whole run, teardown included
  if ((TEST)); then
    ((SIZE_GIVEN)) || SIZE=1024x768
    PARTS_SECOND=ok
    LIMIT=150
  fi
  # A restart, the edits and an unplug take their time too.
  LIMIT=$((LIMIT + 15 * (REUSE + EDIT + UNPLUG)))
  REPORT_EXTRA=()
  if [[ -n $POINTER_LIMITS ]]; then
    [[ $POINTER_LIMITS =~ ^([0-9.]+),([0-9.]+)$ ]] || { echo "demo: --pointer-limits MEAN,MAX" >&2; exit 2; }
    REPORT_EXTRA+=(--pointer-mean "${BASH_REMATCH[1]}" --pointer-max "${BASH_REMATCH[2]}")
  fi
  [[ $SIZE =~ ^([0-9]+)x([0-9]+)$ ]] || { echo "demo: --size WxH" >&2; exit 2; }
  W=${BASH_REMATCH[1]}
  H=${BASH_REMATCH[2]}
  ((W >= 640 && H >= 480 && W <= 4096 && H <= 4096)) || { echo "demo: size out of range" >&2; exit 2; }
  [[ -n $SCREENS && $SIZE_GIVEN == 1 ]] && { echo "demo: --size or --screens, not both" >&2; exit 2; }
  SCREENS=${SCREENS:-$SIZE}
  [[ -z $PROJECTOR || $PROJECTOR =~ ^[0-9]+$ ]] || { echo "demo: --projector N" >&2; exit 2; }
  case $POSE in
    keystone | upright | mirrored | upside-down | rotated) ;;
    *) echo "demo: unknown pose $POSE" >&2; usage ;;
  esac
  case $OPTICS in
    ideal | webcam) ;;
    *) echo "demo: unknown optics $OPTICS" >&2; usage ;;
  esac
  for tool in tovik kalvo e2e_driver e2e_report e2e_desktop e2e_panel libe2e_geometry_probe.so desktop_x11; do
    [[ -e $BIN/$tool ]] || { echo "demo: $BIN/$tool is missing (build first)" >&2; exit 2; }
  done
  for tool in Xvfb setsid; do
    command -v "$tool" >/dev/null || { echo "demo: $tool is not installed" >&2; exit 2; }
  done

  T0=$EPOCHSECONDS
  mkdir -p "$OUT"
  OUT=$(cd "$OUT" && pwd)
  LOGS=$OUT/logs
  rm -rf "$LOGS"
  mkdir -p "$LOGS"
  rm -f "$OUT/demo.png" "$OUT/failure.png" "$OUT/report.json" "$OUT"/saved.*
  # Short paths for the sockets; the run's own copies of the programs.
  RUN=$(mktemp -d /tmp/tk-e2e.XXXXXX)
  # The run's mark, which its desktop shares.
  RUN_MARK=${RUN##*/}
  mkdir -p "$RUN/bin"
  export DEMO_T0=$T0 DEMO_RUN=$RUN DEMO_OUT=$OUT DEMO_LOGS=$LOGS DEMO_BIN=$BIN
  export DEMO_POSE=$POSE DEMO_OPTICS=$OPTICS DEMO_PROJECTOR=$PROJECTOR DEMO_PARTS_FIRST=$PARTS_FIRST
  export DEMO_PARTS_SECOND=$PARTS_SECOND DEMO_TEST=$TEST
  export DEMO_REUSE=$REUSE DEMO_EDIT=$EDIT DEMO_UNPLUG=$UNPLUG DEMO_HOUSE_ONLY=$HOUSE_ONLY

  DESKTOP_PID=
  WATCHDOG=
  on_exit() {
    local rc=$?
    [[ -n $WATCHDOG ]] && { kill -- "-$WATCHDOG" 2>/dev/null || true; }
    if [[ -n $DESKTOP_PID ]]; then
      kill -TERM "$DESKTOP_PID" 2>/dev/null || true
      wait "$DESKTOP_PID" 2>/dev/null || true
    fi
    # Whatever still carries the run's mark goes too.
    for pid in $(marked); do
      kill -KILL "$pid" 2>/dev/null || true
    done
    rm -rf "$RUN"
    exit $rc
  }
  trap on_exit EXIT
  trap 'echo "demo: interrupted" >&2; exit 130' INT TERM HUP
  # The whole run stays inside the limit: past it the script is told to stop
  # and tears everything down.
  setsid bash -c 'sleep "$1"; echo "demo: over $1 s, stopping" >&2; kill -TERM "$2"' _ \
    "$LIMIT" $$ </dev/null &
  WATCHDOG=$!

  printf '%3ds  %s\n' 0 "desktop: $SCREENS, window manager $WM"
  # Every process of the run carries its mark, so none can slip away.
  rc=0
  "$WRAPPER" --wm "$WM" --screens "$SCREENS" --compositor --bin "$BIN" --log "$LOGS/desktop" \
    --mark "$RUN_MARK" -- "$SELF" --on-desktop &
  DESKTOP_PID=$!
  wait "$DESKTOP_PID" || rc=$?
  DESKTOP_PID=
  # Processes of the run still there: what the desktop ended itself, and
  # anything else carrying the mark.
  LEFT=$(grep -c . "$LOGS/desktop/leftover.log" 2>/dev/null || true)
  MARKED=$(marked | wc -l)
  LEFT=$((${LEFT:-0} + MARKED))
  printf '%3ds  %s\n' $((EPOCHSECONDS - T0)) "all processes ended ($LEFT left)"
  if ((rc != 0 && rc != 124)); then
    echo "demo: the run failed (status $rc)" >&2
    exit 1
  fi
  read -r SCREEN MONITOR <"$RUN/desktop"
  # The calibration the restarted Tovik reused was made by its first run.
  ((REUSE)) && REPORT_EXTRA+=(--calibration-log "$LOGS/tovik-events-first.log")
  SAVED=$(compgen -G "$OUT/saved.*" | sed -n 1p) || true
  [[ -n $SAVED ]] && REPORT_EXTRA+=(--saved "$SAVED")
  rc=0
  "$BIN/e2e_report" --screen "$SCREEN" --monitor "$MONITOR" --pose "$POSE" \
    --sim-log "$LOGS/sim-frames.log" --tovik-log "$LOGS/tovik-events.log" \
    --kalvo-dump "$LOGS/kalvo-document.bin" --figure "$LOGS/figure.txt" \
    --screenshot "$OUT/demo.png" --leftover "$LEFT" --ink-log "$LOGS/ink-latency.log" \
    --right-clicks $((1 - HOUSE_ONLY)) --json "$OUT/report.json" "${REPORT_EXTRA[@]}" || rc=$?
  printf '%3ds  %s\n' $((EPOCHSECONDS - T0)) "report $OUT/report.json"
  exit $rc
fi

# ======================= on the desktop =======================
RUN=$DEMO_RUN
OUT=$DEMO_OUT
LOGS=$DEMO_LOGS
SPAWN_LOGS=$LOGS
BIN=$DEMO_BIN
DRIVER=$BIN/e2e_driver
say() { printf '%3ds  %s\n' $((EPOCHSECONDS - DEMO_T0)) "$*"; }

# The projector: the monitor the camera films; the panel stands on the primary.
read -r -a MONITORS <<<"$TK_DESKTOP_MONITORS"
P=${DEMO_PROJECTOR:-$((${#MONITORS[@]} - 1))}
((P < ${#MONITORS[@]})) || { echo "demo: --projector $P: there are ${#MONITORS[@]} monitors" >&2; exit 2; }
PROJ=${MONITORS[$P]}
PRIMARY=${MONITORS[$TK_DESKTOP_PRIMARY]}
[[ $PROJ =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]]
PW=${BASH_REMATCH[1]} PH=${BASH_REMATCH[2]} PX=${BASH_REMATCH[3]} PY=${BASH_REMATCH[4]}
echo "$TK_DESKTOP_SCREEN $PROJ" >"$RUN/desktop"
CAMERA="sim:screen,pose=$DEMO_POSE,optics=$DEMO_OPTICS,control=$RUN/pen.sock,log=$LOGS/sim-frames.log"
TOVIK_SCREEN=()
if ((${#MONITORS[@]} > 1)); then
  CAMERA+=",area=$PROJ"
  TOVIK_SCREEN=(--screen "DP-$((P + 1))")
fi

PEN_PID=
INK_PID=
alive() { kill -0 "$1" 2>/dev/null; }

end_run() {
  [[ -n $PEN_PID ]] && { kill "$PEN_PID" 2>/dev/null || true; }
  [[ -n $INK_PID ]] && { kill "$INK_PID" 2>/dev/null || true; }
  teardown
}
trap 'end_run' EXIT
trap 'echo "demo: interrupted" >&2; exit 130' INT TERM HUP

fail() {
  echo "demo: $*" >&2
  "$DRIVER" screenshot "$OUT/failure.png" 2>/dev/null && echo "demo: screen at the failure: $OUT/failure.png" >&2
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
  pid=$(spawned_pid "$4")
  until [[ -f $1 ]] && grep -qE "$2" "$1"; do
    alive "$pid" || fail "$4 ended while waiting for $5"
    ((SECONDS < deadline)) || fail "no $5 within $3 s"
    sleep 0.1
  done
}

say "desktop $TK_DESKTOP_SCREEN on $DISPLAY ($TK_DESKTOP_WM); the projector is monitor $P, $PROJ"
export QT_QPA_PLATFORM=xcb
# A panel with a notification area, where Tovik hides while it tracks; a
# window manager minimises windows itself.
PANEL=(--monitor "$PRIMARY")
[[ $TK_DESKTOP_WM != none ]] && PANEL+=(--dock)
spawn panel "$BIN/e2e_panel" "${PANEL[@]}"
spawn desktop "$BIN/e2e_desktop" --geometry \
  "$((PW * 84 / 100))x$((PH * 78 / 100))+$((PX + PW * 8 / 100))+$((PY + PH * 11 / 100))"

# Copies of the programs, so their settings files (beside them) are this
# run's own, with every value at its default.
cp "$BIN/tovik" "$BIN/kalvo" "$RUN/bin/"
[[ -e $BIN/jpgdll.so ]] && cp "$BIN/jpgdll.so" "$RUN/bin/"
# ---- Tovik's settings for the run: a right click by holding still (the one
# setting away from its default) and, through a webcam's optics, the accuracy
# options ----
# Longer than the pen's rest at the first stroke, which must stay a press.
RIGHT_HOLD_MS=2000
printf '[Functions]\r\nRightHold=%d\r\n' "$RIGHT_HOLD_MS" >"$RUN/bin/tovik.ini"
if [[ $DEMO_OPTICS == webcam ]]; then
  printf '[Accuracy]\r\nLensCorrection=1\r\nSubPixelSpot=1\r\nPointerSmoothing=1\r\n' >>"$RUN/bin/tovik.ini"
fi
if ((DEMO_REUSE)); then
  printf '[Software]\r\nReuseCalibration=1\r\n' >>"$RUN/bin/tovik.ini"
fi
PROBE=$BIN/libe2e_geometry_probe.so
SOCKET=$RUN/pen.sock
TOVIK_LOG=$LOGS/tovik-events.log
FIGURE=$LOGS/figure.txt
: >"$FIGURE"

say "Kalvo"
spawn kalvo env LD_PRELOAD="$PROBE" TK_GEOMETRY_FILE="$RUN/kalvo.geometry" \
  KALVO_DUMP_DOCUMENT="$LOGS/kalvo-document.bin" "$RUN/bin/kalvo"
# Tovik reads console commands from a FIFO this script holds open, so that
# it can be told to exit as a user would.
TOVIK_IN=$RUN/tovik.in
mkfifo "$TOVIK_IN"
exec 7<>"$TOVIK_IN"
TOVIK=tovik
TOVIK_GEOMETRY=$RUN/tovik.geometry
start_tovik() { # camera
  SPAWN_IN=$TOVIK_IN spawn "$TOVIK" env LD_PRELOAD="$PROBE" TK_GEOMETRY_FILE="$TOVIK_GEOMETRY" \
    TOVIK_EVENT_LOG="$TOVIK_LOG" "$RUN/bin/tovik" --print-messages --commands-from-stdin \
    --camera "$1" "${TOVIK_SCREEN[@]}"
}
say "Tovik, its camera watching the projector ($DEMO_POSE)"
if ((DEMO_REUSE)); then
  # The first run only calibrates: its records stay apart.
  TOVIK=tovik-first TOVIK_LOG=$LOGS/tovik-events-first.log TOVIK_GEOMETRY=$RUN/tovik-first.geometry
  start_tovik "${CAMERA/sim-frames.log/sim-frames-first.log}"
else
  start_tovik "$CAMERA"
fi

# Kalvo's toolbar goes to the projector, dragged by its caption strip as a
# user would, should it stand elsewhere.
read -r _ TBX TBY TBW TBH _ < <(grep '^window.CTrueColorToolBar ' "$RUN/kalvo.geometry" 2>/dev/null) || true
if [[ -z ${TBX:-} ]]; then
  "$DRIVER" geometry "$RUN/kalvo.geometry" window.CTrueColorToolBar --timeout 20 >/dev/null ||
    fail "Kalvo's toolbar did not show"
  read -r _ TBX TBY TBW TBH _ < <(grep '^window.CTrueColorToolBar ' "$RUN/kalvo.geometry")
fi
if ((TBX < PX || TBX + TBW > PX + PW || TBY < PY || TBY + TBH > PY + PH)); then
  say "drag Kalvo's toolbar from $TBX,$TBY onto the projector"
  "$DRIVER" drag $((TBX + 8)) $((TBY + TBH / 2)) $((PX + PW - TBW - 40 + 8)) $((PY + PH / 4 + TBH / 2))
  sleep 0.5
fi

# ---- the user's part ----
AUTO=$("$DRIVER" geometry "$TOVIK_GEOMETRY" 1005 --timeout 20) || fail "Tovik's console did not show"
# The console is listed when Qt shows it; a window manager maps it a moment
# later (mutter fades it in): a user sees it first, then clicks.
sleep 1
say "click 自动(&A) at $AUTO"
# shellcheck disable=SC2086
"$DRIVER" click $AUTO
wait_for_line "$TOVIK_LOG" '^calibration ' 45 "$TOVIK" "a completed calibration"
say "calibrated ($(awk '/^calibration /{k=$2} END{print k}' "$TOVIK_LOG")); count-down to tracking"
if ((DEMO_TEST)); then
  # A user in a hurry starts tracking at once.
  NOW=$("$DRIVER" geometry "$TOVIK_GEOMETRY" 1 --title 标定完成 --timeout 10) || fail "no count-down"
  say "click 立即运行 at $NOW"
  # shellcheck disable=SC2086
  "$DRIVER" click $NOW
fi
wait_for_line "$TOVIK_LOG" '^frame ' 15 "$TOVIK" "tracking"
say "tracking"
if ((DEMO_REUSE)); then
  say "quit Tovik"
  echo exit >&7
  deadline=$((SECONDS + 15))
  while alive "$(spawned_pid "$TOVIK")"; do
    ((SECONDS < deadline)) || fail "Tovik did not exit"
    sleep 0.1
  done
  rm -f "$RUN/pen.sock"
  TOVIK=tovik TOVIK_LOG=$LOGS/tovik-events.log TOVIK_GEOMETRY=$RUN/tovik.geometry
  say "Tovik again, on its stored calibration"
  start_tovik "$CAMERA"
  RUN_BUTTON=$("$DRIVER" geometry "$TOVIK_GEOMETRY" 1006 --timeout 20) || fail "Tovik's console did not show again"
  sleep 1
  say "click 运行(&R) at $RUN_BUTTON"
  # shellcheck disable=SC2086
  "$DRIVER" click $RUN_BUTTON
  wait_for_line "$TOVIK_LOG" '^frame ' 15 "$TOVIK" "tracking on the stored calibration"
  say "tracking"
fi

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

# Frame capture to ink on the screen, watched from here to the last stroke.
"$DRIVER" inkwatch "$TOVIK_LOG" "$LOGS/ink-latency.log" --monitor "$PROJ" &
INK_PID=$!

# Kalvo's pen starts red.
say "pen draws in red: $DEMO_PARTS_FIRST"
"$DRIVER" figure --screen "$PROJ" --parts "$DEMO_PARTS_FIRST" --color FF0000 --figure "$FIGURE" >"$RUN/strokes"
# The pen rests a moment where the first stroke starts: the held-pen jitter.
sed -i '0,/^lit 1$/s//lit 1\nwait 1200/' "$RUN/strokes"
pen <"$RUN/strokes"

if ((DEMO_UNPLUG)); then
  say "the camera is unplugged for 2 s and plugged in again"
  frames=$(grep -c '^frame ' "$TOVIK_LOG" || true)
  pen <<<$'unplug\nwait 2000\nplug'
  deadline=$((SECONDS + 20))
  until (($(grep -c '^frame ' "$TOVIK_LOG" || true) > frames + 30)); do
    alive "$(spawned_pid "$TOVIK")" || fail "Tovik ended after the camera was unplugged"
    ((SECONDS < deadline)) || fail "tracking did not come back with the camera"
    sleep 0.2
  done
  say "tracking again"
fi

if ((DEMO_EDIT)); then
  # The eraser follows the house's door; the keys go to the drawing surface,
  # which the pen's strokes focused. Undo and redo come with the eraser still
  # chosen, where a repaint must not erase; the pen is chosen again after.
  read -r DX1 DY1 DX2 DY2 < <(awk -v w="$PW" -v h="$PH" -v x="$PX" -v y="$PY" 'BEGIN {
    s = (w * 0.22 < h * 0.4) ? w * 0.22 : h * 0.4; bx = x + w * 0.22 - s / 2; by = y + h * 0.3
    printf "%.1f %.1f %.1f %.1f\n", bx + 0.4 * s, by + s, bx + 0.6 * s, by + 0.7 * s }')
  ERASER=$("$DRIVER" geometry "$RUN/kalvo.geometry" 32776 --timeout 5) || fail "no eraser button"
  PEN_BUTTON=$("$DRIVER" geometry "$RUN/kalvo.geometry" 32774 --timeout 5) || fail "no pen button"
  say "pen picks the eraser and erases the door"
  # shellcheck disable=SC2086
  tap_at $ERASER
  sleep 0.4
  pen <<ERASE
move $DX1 $DY1
wait 90
f13 1
lit 1
wait 150
path $DX1 $DY1 $DX1 $DY2 500
path $DX1 $DY2 $DX2 $DY2 400
path $DX2 $DY2 $DX2 $DY1 500
wait 150
lit 0
f13 0
wait 300
ERASE
  for k in ctrl+z ctrl+y ctrl+z; do
    say "$k"
    "$DRIVER" key "$k" || fail "no key $k"
    sleep 0.5
  done
  # shellcheck disable=SC2086
  tap_at $PEN_BUTTON
  sleep 0.4
fi

if ((DEMO_HOUSE_ONLY)); then
  kill "$INK_PID" 2>/dev/null || true
  wait "$INK_PID" 2>/dev/null || true
  INK_PID=
  "$DRIVER" screenshot "$OUT/demo.png" || fail "no screenshot"
  say "screenshot $OUT/demo.png"
  exit 0
fi

# Blue from the colour dialog, picked with the pen as well. Should the dialog
# not come, the demo draws the rest in red; the test fails, as red ink would
# then match a red expectation.
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
  ((DEMO_TEST)) && fail "no colour dialog"
  say "no colour dialog: one colour only"
fi
say "pen draws in #$SECOND: $DEMO_PARTS_SECOND"
"$DRIVER" figure --screen "$PROJ" --parts "$DEMO_PARTS_SECOND" --color "$SECOND" --figure "$FIGURE" >"$RUN/strokes"
pen <"$RUN/strokes"

# ---- right click: the pen held still above the figures, clear of the toolbar ----
say "pen holds still at $((PX + PW / 2)) $((PY + PH * 15 / 100)) for a right click"
"$DRIVER" tap $((PX + PW / 2)) $((PY + PH * 15 / 100)) --hold $((RIGHT_HOLD_MS + 500)) >"$RUN/hold" ||
  fail "no hold script"
pen <"$RUN/hold"
sleep 0.6
kill "$INK_PID" 2>/dev/null || true
wait "$INK_PID" 2>/dev/null || true
INK_PID=

if ((DEMO_EDIT)); then
  SAVE=$("$DRIVER" geometry "$RUN/kalvo.geometry" 32777 --timeout 5) || fail "no save button"
  say "pen taps 'Save as image' at $SAVE"
  # shellcheck disable=SC2086
  tap_at $SAVE
  # The folder dialog may open on any monitor: the mouse accepts it, once the
  # window manager has placed it.
  "$DRIVER" geometry "$RUN/kalvo.geometry" filedialog.accept --timeout 10 >/dev/null ||
    fail "no folder dialog at the first save"
  sleep 1
  ACCEPT=$("$DRIVER" geometry "$RUN/kalvo.geometry" filedialog.accept --timeout 1) ||
    fail "the folder dialog went away"
  # shellcheck disable=SC2086
  "$DRIVER" click $ACCEPT
  deadline=$((SECONDS + 15))
  # Beside the program by default (img/), else in the user's pictures. The
  # picture is written as a .bmp that the converter turns into a .jpg (the
  # .bmp then goes): a .bmp counts once it has stood 2 s without one.
  SAVED= BMP= BMP_SINCE=0
  while [[ -z $SAVED ]]; do
    found=$({ find "$RUN/bin/img" "$HOME/Pictures" \( -name '*.jpg' -o -name '*.bmp' \) \
      -size +1k 2>/dev/null || true; } | sort -r | sed -n 1p)
    if [[ $found == *.jpg ]] || { [[ -n $found && $found == "$BMP" ]] && ((SECONDS >= BMP_SINCE + 2)); }; then
      cp "$found" "$OUT/saved.${found##*.}" 2>/dev/null && SAVED=$found
    elif [[ -n $found && $found != "$BMP" ]]; then
      BMP=$found BMP_SINCE=$SECONDS
    fi
    ((SECONDS < deadline)) || fail "no picture saved in $RUN/bin/img or $HOME/Pictures"
    [[ -n $SAVED ]] || sleep 0.2
  done
  say "saved ${SAVED##*/}"
fi

"$DRIVER" screenshot "$OUT/demo.png" || fail "no screenshot"
say "screenshot $OUT/demo.png"
end_run
