#!/usr/bin/env bash
# Runs a command on a private desktop and tears the desktop down afterwards:
#
#   with_desktop.sh [--wm none|openbox|mutter|kwin|xfwm4]
#                   [--screens WxH[+WxH...][,primary=N]] [--compositor]
#                   [--bin DIR] [--log DIR] [--keep-home] [--mark ID] -- COMMAND [ARG...]
#
# What it starts, in this order, each in its own process session:
#   - Xvfb, one X screen holding the monitors side by side, left to right,
#     top-aligned; more than one monitor (or primary=N, counted from 0) makes
#     them RandR monitors named DP-1, DP-2, ... (Qt lists them as screens);
#   - a private D-Bus session bus (dbus-daemon, no service activation), so
#     nothing is ever autolaunched through X11;
#   - the window manager, waited for until it has taken over the screen
#     (_NET_SUPPORTING_WM_CHECK): openbox, mutter --x11, kwin_x11 or xfwm4;
#     mutter and kwin composite by themselves; --compositor adds xcompmgr to
#     none and openbox, and turns xfwm4's own compositor on.
# The command then runs with, exported:
#   DISPLAY, DBUS_SESSION_BUS_ADDRESS, XDG_RUNTIME_DIR (private);
#   HOME and XDG_CONFIG_HOME/XDG_DATA_HOME/XDG_CACHE_HOME in a private folder
#     (unless --keep-home);
#   TK_DESKTOP_WM       the --wm value;
#   TK_DESKTOP_SCREEN   the X screen, WxH;
#   TK_DESKTOP_MONITORS the monitors, "WxH+X+Y" joined with spaces, in order;
#   TK_DESKTOP_PRIMARY  index of the primary monitor.
# Defaults: --wm none, --screens 1280x800. --bin: where desktop_x11 is
# (default: $TK_BIN, else build/dev/bin of this checkout). --log DIR keeps the
# X server's, the bus's and the window manager's output there, and
# leftover.log: one line per process that outlived the desktop (empty: none).
#
# Exit status: the command's; 125 when the desktop could not be set up; 124
# when something the run started was still alive after the teardown (it is
# killed; every process started carries the run mark, TK_RUN_MARK=<id>, in
# its environment, also those the bus or the window manager start; --mark
# gives the caller's run mark).
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../support/desktop.sh
source "$HERE/../support/desktop.sh"
WM=none
SCREENS=1280x800
COMPOSITOR=0
BIN=${TK_BIN:-$HERE/../../build/dev/bin}
LOGDIR=
KEEP_HOME=0
MARK=

usage() {
  usage_from_header "${BASH_SOURCE[0]}"
  exit 125
}
die() {
  echo "with_desktop: $*" >&2
  exit 125
}

while (($#)); do
  case $1 in
    --wm) WM=${2:?}; shift 2 ;;
    --screens) SCREENS=${2:?}; shift 2 ;;
    --compositor) COMPOSITOR=1; shift ;;
    --bin) BIN=${2:?}; shift 2 ;;
    --log) LOGDIR=${2:?}; shift 2 ;;
    --keep-home) KEEP_HOME=1; shift ;;
    --mark) MARK=${2:?}; shift 2 ;;
    --) shift; break ;;
    -h | --help) usage ;;
    *) echo "with_desktop: unknown option $1" >&2; usage ;;
  esac
done
(($#)) || usage

# ---- the monitors: WxH+WxH...[,primary=N] ----
PRIMARY=0
spec=$SCREENS
if [[ $spec =~ ^(.*),primary=([0-9]+)$ ]]; then
  spec=${BASH_REMATCH[1]}
  PRIMARY=${BASH_REMATCH[2]}
  PRIMARY_GIVEN=1
else
  PRIMARY_GIVEN=0
fi
MONITORS=()
X=0
SCREEN_H=0
IFS=+ read -r -a sizes <<<"$spec"
for s in "${sizes[@]}"; do
  [[ $s =~ ^([0-9]+)x([0-9]+)$ ]] || die "--screens WxH[+WxH...][,primary=N], not '$SCREENS'"
  w=${BASH_REMATCH[1]} h=${BASH_REMATCH[2]}
  ((w >= 320 && h >= 200 && w <= 8192 && h <= 8192)) || die "monitor size $s out of range"
  MONITORS+=("${w}x${h}+${X}+0")
  X=$((X + w))
  if ((h > SCREEN_H)); then SCREEN_H=$h; fi
done
((PRIMARY < ${#MONITORS[@]})) || die "primary=$PRIMARY: there are ${#MONITORS[@]} monitors"
((X <= 16384)) || die "the monitors are wider than 16384 pixels together"
SCREEN=${X}x${SCREEN_H}

case $WM in
  none) WM_CMD=() ;;
  openbox) WM_CMD=(openbox --sm-disable) ;;
  mutter) WM_CMD=(mutter --x11 --replace --sm-disable) ;;
  kwin) WM_CMD=(kwin_x11 --replace) ;;
  xfwm4) WM_CMD=(xfwm4 --replace "--compositor=$( ((COMPOSITOR)) && echo on || echo off)") ;;
  *) die "unknown window manager '$WM' (none, openbox, mutter, kwin, xfwm4)" ;;
esac
NEEDED=(Xvfb dbus-daemon setsid)
((${#WM_CMD[@]})) && NEEDED+=("${WM_CMD[0]}")
[[ $WM == none || $WM == openbox ]] && ((COMPOSITOR)) && NEEDED+=(xcompmgr)
for tool in "${NEEDED[@]}"; do
  command -v "$tool" >/dev/null || die "$tool is not installed (./run setup installs it)"
done
SET_MONITORS=0
if ((${#MONITORS[@]} > 1 || PRIMARY_GIVEN)); then
  SET_MONITORS=1
  [[ -x $BIN/desktop_x11 ]] || die "$BIN/desktop_x11 is missing (build it, or give --bin)"
fi
if [[ $WM != none ]]; then
  [[ -x $BIN/desktop_x11 ]] || die "$BIN/desktop_x11 is missing (build it, or give --bin)"
fi

# ---- the run's own folder and mark ----
RUN=$(mktemp -d /tmp/tk-desktop.XXXXXX)
RUN_ID=${RUN##*/}
mkdir -p "$RUN/runtime" "$RUN/home"
chmod 700 "$RUN/runtime"
[[ -n $LOGDIR ]] && mkdir -p "$LOGDIR"
LOGS=${LOGDIR:-$RUN}
SPAWN_LOGS=$LOGS
: >"$LOGS/leftover.log"
RUN_MARK=${MARK:-$RUN_ID}
export TK_RUN_MARK=$RUN_MARK

LEFT=0
TORN_DOWN=0
end_desktop() {
  ((TORN_DOWN)) && return 0
  TORN_DOWN=1
  local pid deadline
  # Last started, first ended: the X server goes last.
  teardown
  # What the bus or the window manager started outside their groups.
  local rest
  rest=$(marked)
  if [[ -n $rest ]]; then
    LEFT=$(wc -w <<<"$rest")
    echo "with_desktop: $LEFT processes outlived the desktop:" >&2
    for pid in $rest; do
      echo "$pid $(tr '\0' ' ' </proc/"$pid"/cmdline 2>/dev/null)"
    done | tee -a "$LOGS/leftover.log" >&2
    # shellcheck disable=SC2086
    kill -KILL $rest 2>/dev/null || true
    # Gone before their folder goes, or they write into it again.
    deadline=$((SECONDS + 2))
    # shellcheck disable=SC2086
    while kill -0 $rest 2>/dev/null && ((SECONDS < deadline)); do sleep 0.05; done
  fi
  rm -rf "$RUN" 2>/dev/null || { sleep 0.2; rm -rf "$RUN"; }
}
RC=125
CMD_PID=
on_exit() {
  end_desktop
  ((LEFT > 0 && RC == 0)) && RC=124
  exit $RC
}
trap on_exit EXIT
interrupted() {
  echo "with_desktop: interrupted" >&2
  if [[ -n $CMD_PID ]]; then
    kill -TERM "$CMD_PID" 2>/dev/null || true
    wait "$CMD_PID" 2>/dev/null || true
  fi
  RC=130
  exit 130
}
trap interrupted INT TERM HUP

show_log() { # name
  [[ -s $LOGS/$1.log ]] && { echo "--- $1:" >&2; tail -n 20 "$LOGS/$1.log" >&2; }
  return 0
}

# ---- X server ----
start_xvfb "$SCREEN" 2>/dev/null || { show_log xvfb; die "Xvfb did not start"; }
if ((SET_MONITORS)); then
  args=()
  for i in "${!MONITORS[@]}"; do
    ((i == PRIMARY)) && args+=("${MONITORS[$i]}*") || args+=("${MONITORS[$i]}")
  done
  "$BIN/desktop_x11" monitors "${args[@]}" >"$LOGS/monitors.log" 2>&1 ||
    { show_log monitors; die "the monitors could not be set"; }
fi

# ---- environment of everything that follows ----
unset WAYLAND_DISPLAY SESSION_MANAGER DBUS_SESSION_BUS_PID DBUS_SESSION_BUS_WINDOWID || true
export XDG_RUNTIME_DIR=$RUN/runtime XDG_SESSION_TYPE=x11 GDK_BACKEND=x11
# No dconf service on the private bus: settings stay in memory.
export GSETTINGS_BACKEND=memory
if ((!KEEP_HOME)); then
  export HOME=$RUN/home XDG_CONFIG_HOME=$RUN/home/.config XDG_DATA_HOME=$RUN/home/.local/share
  export XDG_CACHE_HOME=$RUN/home/.cache
fi

# ---- session bus: its own configuration, so no service is activated ----
cat >"$RUN/bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=$RUN/runtime/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
BUS_FIFO=$RUN/busaddress
mkfifo "$BUS_FIFO"
exec 5<>"$BUS_FIFO"
spawn dbus dbus-daemon --config-file="$RUN/bus.conf" --nofork --nopidfile --print-address=5
BUS=
read -r -t 20 -u 5 BUS || true
exec 5>&-
[[ $BUS == unix:* ]] || { show_log dbus; die "the session bus did not start"; }
export DBUS_SESSION_BUS_ADDRESS=$BUS

# ---- window manager ----
if ((${#WM_CMD[@]})); then
  wait_args=(--timeout 40)
  [[ $WM == mutter || $WM == kwin || ($WM == xfwm4 && COMPOSITOR -eq 1) ]] && wait_args+=(--composite)
  # KWin is a Qt program: it must not be told to use another platform.
  if [[ $WM == kwin ]]; then
    spawn wm env QT_QPA_PLATFORM=xcb "${WM_CMD[@]}"
  else
    spawn wm "${WM_CMD[@]}"
  fi
  WM_NAME=$("$BIN/desktop_x11" wait-wm "${wait_args[@]}" 2>"$RUN/wait-wm.err") ||
    { cat "$RUN/wait-wm.err" >&2; show_log wm; die "$WM did not take over the screen"; }
  echo "with_desktop: $WM_NAME manages $DISPLAY" >>"$LOGS/wm.log"
fi
if ((COMPOSITOR)) && [[ $WM == none || $WM == openbox ]]; then
  spawn compositor xcompmgr
fi

export TK_DESKTOP_WM=$WM TK_DESKTOP_SCREEN=$SCREEN TK_DESKTOP_PRIMARY=$PRIMARY
export TK_DESKTOP_MONITORS="${MONITORS[*]}"

# ---- the command; its exit status is ours ----
# Waited for in the background, so a signal is acted on at once; standard
# input stays the caller's.
RC=0
"$@" <&0 &
CMD_PID=$!
wait "$CMD_PID" || RC=$?
CMD_PID=
exit $RC
