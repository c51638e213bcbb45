# Shell plumbing of the test runs, sourced by ./run, with_desktop.sh, demo.sh
# and package_test.sh: processes started and ended together, a private X
# server, the run mark, and a script's usage taken from its header.

# ---- the run mark ----
# Every process of a run carries TK_RUN_MARK=$RUN_MARK in its environment, so
# that none can outlive the run unseen, also those that leave their process
# group. The script that looks for them gives the mark to what it starts, but
# never has it in its own environment at start: its subshells would carry it.
RUN_MARK=
# The processes carrying the mark, this shell and its subshells excepted.
marked() {
  [[ -n $RUN_MARK ]] || return 0
  local f pid
  # The scan itself must not carry the mark.
  for f in $(export -n TK_RUN_MARK; grep -lsz "^TK_RUN_MARK=$RUN_MARK\$" /proc/[0-9]*/environ); do
    pid=${f#/proc/}
    pid=${pid%/environ}
    ((pid != $$ && pid != BASHPID)) && echo "$pid"
  done
  return 0
}

# ---- processes ----
# spawn NAME COMMAND...: COMMAND in a process session of its own, with the
# run's mark, output to $SPAWN_LOGS/NAME.log (nowhere without SPAWN_LOGS),
# input from $SPAWN_IN (default /dev/null). Its pid is SPAWNED[-1].
SPAWNED=()
SPAWNED_NAMES=()
SPAWN_LOGS=
spawn() {
  local name=$1 mark=() log=/dev/null
  shift
  [[ -n $RUN_MARK ]] && mark=(env "TK_RUN_MARK=$RUN_MARK")
  [[ -n $SPAWN_LOGS ]] && log=$SPAWN_LOGS/$name.log
  setsid "${mark[@]}" "$@" >"$log" 2>&1 <"${SPAWN_IN:-/dev/null}" &
  SPAWNED+=($!)
  SPAWNED_NAMES+=("$name")
}
spawned_pid() { # name
  local i
  for i in "${!SPAWNED_NAMES[@]}"; do
    [[ ${SPAWNED_NAMES[$i]} == "$1" ]] && { echo "${SPAWNED[$i]}"; return; }
  done
}
# Ends what spawn started, the last first: each session is asked to end
# (SIGTERM), killed after 3 s, and waited for.
teardown() {
  local i deadline
  for ((i = ${#SPAWNED[@]} - 1; i >= 0; i--)); do
    kill -TERM -- "-${SPAWNED[$i]}" 2>/dev/null || true
    deadline=$((SECONDS + 3))
    while kill -0 -- "-${SPAWNED[$i]}" 2>/dev/null && ((SECONDS < deadline)); do sleep 0.05; done
    kill -KILL -- "-${SPAWNED[$i]}" 2>/dev/null || true
    wait "${SPAWNED[$i]}" 2>/dev/null || true
  done
  SPAWNED=()
  SPAWNED_NAMES=()
}

# ---- the X server ----
# start_xvfb [WxH]: a private Xvfb (spawned as "xvfb"); exports DISPLAY.
# Always -noreset: a server that resets when its last client leaves refuses a
# connection opened at that moment.
start_xvfb() {
  local fifo n=
  fifo=$(mktemp -u "${TMPDIR:-/tmp}/tk-displayfd.XXXXXX")
  mkfifo "$fifo"
  exec {XVFB_FD}<>"$fifo"
  rm -f "$fifo"
  spawn xvfb Xvfb -displayfd "$XVFB_FD" -screen 0 "${1:-1280x800}x24" -nolisten tcp -noreset
  read -r -t 20 -u "$XVFB_FD" n || true
  exec {XVFB_FD}>&-
  [[ $n =~ ^[0-9]+$ ]] || { echo "Xvfb did not start" >&2; return 1; }
  export DISPLAY=:$n
}

# ---- usage ----
# Prints the usage block of a script's header comment: from the line
# "#   NAME.sh ..." to the next empty comment line.
usage_from_header() { # script
  sed -n '/^#   [a-z_]*\.sh /,/^#$/p' "$1" | sed '/^#$/d; s/^# \{0,1\}//' >&2
}
