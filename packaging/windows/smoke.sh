# shellcheck shell=bash
# The smoke tests of the Windows programs under Wine, sourced by windows.sh
# and run inside its private X server and Wine prefix (start_wine_env):
#
#   smoke_kalvo   Kalvo shows its toolbar, draws a stroke given through
#                 SendInput over its overlay, saves it as a .bmp and, through
#                 jpgdll.dll, as a .jpg
#   smoke_tovik   Tovik starts on the simulated camera filming the Wine
#                 desktop, calibrates when its button is clicked, and the
#                 simulated pen moves the pointer
#
# Each runs a copy of the self-contained folder build/windows/TovikKalvo/
# without WINEPATH, so a DLL missing from the folder fails the test. The
# geometry probe (tests/windows/GeometryProbePlugin.cpp) tells where the
# controls are. Screenshots go to $OUT/screenshots/windows-*.png.

SMOKE=$BUILD/smoke
INPUT=$BUILD/bin/tk_win_input.exe

# The Windows form of a path of this machine (Wine's Z: drive).
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# A copy of the program folder with the probe, in $SMOKE/NAME.
smoke_folder() { # name
  local dir=$SMOKE/$1
  rm -rf "$dir"
  mkdir -p "$dir/generic" "$OUT/screenshots"
  cp -r "$OUT/TovikKalvo/." "$dir/"
  cp "$BUILD/bin/generic/tkgeometryprobe.dll" "$dir/generic/"
  echo "$dir"
}

# Starts a program of a smoke folder in the background, with the probe.
SMOKE_PID=
smoke_start() { # dir exe log [args...]
  local dir=$1 exe=$2 log=$3
  shift 3
  # Wine keeps the host's QT_ variables from its programs: the prefix names the probe.
  wine_run 60 reg add 'HKCU\Environment' /v QT_QPA_GENERIC_PLUGINS /d tkgeometryprobe /f >/dev/null 2>&1
  WINEPATH='' TK_GEOMETRY_FILE="$(winpath "$dir/geometry")" \
    nice timeout -k 5 600 "$WINE" "$(winpath "$dir/$exe")" "$@" >"$log" 2>&1 &
  SMOKE_PID=$!
}

smoke_stop() {
  local exe
  for exe in Kalvo.exe Tovik.exe; do
    wine_run 30 taskkill /F /IM "$exe" >/dev/null 2>&1 || true
  done
  if [ -n "$SMOKE_PID" ]; then
    local deadline=$((SECONDS + 20))
    while kill -0 "$SMOKE_PID" 2>/dev/null && ((SECONDS < deadline)); do sleep 0.5; done
    kill "$SMOKE_PID" 2>/dev/null || true
    wait "$SMOKE_PID" 2>/dev/null || true
  fi
  SMOKE_PID=
}

smoke_fail() { # what log
  echo "smoke: $1" >&2
  [ -f "${2:-}" ] && tail -n 20 "$2" >&2
  timeout 30 import -display "$DISPLAY" -window root "$OUT/screenshots/failure.png" 2>/dev/null &&
    echo "smoke: the screen at the failure: $OUT/screenshots/failure.png" >&2
  smoke_stop
  return 1
}

# The centre "X Y" of the probe's line NAME, waiting up to SECONDS for it.
smoke_where() { # dir name seconds
  local deadline=$((SECONDS + $3)) line
  while ((SECONDS < deadline)); do
    line=$(grep -m1 "^$2 " "$1/geometry" 2>/dev/null) && {
      awk '{ printf "%d %d\n", $2 + $4 / 2, $3 + $5 / 2 }' <<<"$line"
      return 0
    }
    sleep 0.5
  done
  return 1
}

# Waits up to SECONDS for a line matching REGEX in FILE.
smoke_wait_line() { # file regex seconds
  local deadline=$((SECONDS + $3))
  until grep -qE "$2" "$1" 2>/dev/null; do
    ((SECONDS < deadline)) || return 1
    sleep 0.5
  done
}

# Pixels that are clearly red (Kalvo's pen starts red) in the part of a
# picture the stroke crosses.
red_pixels() { # picture
  convert "$1" -crop 640x160+280+340 +repage -fx 'r > 0.6 && g < 0.35 && b < 0.35' -format '%[fx:round(mean * w * h)]' info:
}

screenshot() { # name
  timeout 30 import -display "$DISPLAY" -window root "$OUT/screenshots/windows-$1.png"
}

# One Kalvo run that draws a stroke and saves it in FORMAT (bmp or jpg).
kalvo_draw_and_save() { # format
  local dir log saved n
  dir=$(smoke_folder kalvo) || return 1
  log=$dir/kalvo.log
  printf '[SAVE]\r\nFORMAT=%s\r\n' "$1" >"$dir/Kalvo.ini"
  smoke_start "$dir" Kalvo.exe "$log"
  smoke_where "$dir" window.CTrueColorToolBar 90 >/dev/null || smoke_fail "Kalvo's toolbar did not show" "$log" || return 1
  [ "$1" = bmp ] && screenshot kalvo-toolbar
  local draw save
  draw=$(smoke_where "$dir" 32771 5) || smoke_fail "no 'Draw on the screen' button" "$log" || return 1
  if [ "$1" = bmp ]; then
    # The toolbar's own menu, with its Chinese entries.
    # shellcheck disable=SC2086
    wine_run 60 "$INPUT" click $draw right
    smoke_where "$dir" window.QMenu 10 >/dev/null || smoke_fail "no menu on a right click" "$log" || return 1
    sleep 0.5
    screenshot kalvo-menu
    wine_run 60 "$INPUT" key escape
    sleep 0.5
  fi
  # shellcheck disable=SC2086
  wine_run 60 "$INPUT" click $draw
  smoke_where "$dir" window.DrawingWindow 30 >/dev/null || smoke_fail "no overlay" "$log" || return 1
  sleep 1
  wine_run 60 "$INPUT" stroke 300 420 500 360 700 460 900 380
  sleep 1
  [ "$1" = bmp ] && screenshot kalvo-overlay
  save=$(smoke_where "$dir" 32777 5) || smoke_fail "no 'Save as image' button" "$log" || return 1
  # shellcheck disable=SC2086
  wine_run 60 "$INPUT" click $save
  # The folder dialog is the shell's own on Windows (a system dialog the
  # probe cannot see: "." picks the folder it opens on), Qt's elsewhere.
  local accept
  if accept=$(smoke_where "$dir" filedialog.accept 5); then
    sleep 1
    [ "$1" = bmp ] && screenshot kalvo-save
    # shellcheck disable=SC2086
    wine_run 60 "$INPUT" click $accept
  elif wine_run 60 "$INPUT" dialog 30; then
    sleep 1
    wine_run 60 "$INPUT" key 0xBE  # ".": the folder it opens on
    [ "$1" = bmp ] && screenshot kalvo-save
    wine_run 60 "$INPUT" key enter
  else
    smoke_fail "no folder dialog" "$log"
    return 1
  fi
  local deadline=$((SECONDS + 30))
  until saved=$(find "$dir/img" "$WINEPREFIX/drive_c/users" -name "*.$1" -size +1k 2>/dev/null | sed -n 1p) &&
    [ -n "$saved" ]; do
    ((SECONDS < deadline)) || { smoke_fail "no .$1 saved" "$log"; return 1; }
    sleep 0.5
  done
  sleep 1
  smoke_stop
  n=$(red_pixels "$saved")
  cp "$saved" "$OUT/screenshots/kalvo-saved.$1"
  ((n > 200)) || { echo "smoke: the saved $saved has $n red pixels, no stroke" >&2; return 1; }
  log "Kalvo saved $saved with the stroke ($n red pixels)"
}

smoke_kalvo() {
  log "smoke test: Kalvo"
  kalvo_draw_and_save bmp && kalvo_draw_and_save jpg
}

# The pen waits dark until Tovik has calibrated (the test then makes the file
# the script awaits), then glides lit from one side of the screen to the other
# and back for a minute.
smoke_tovik() {
  log "smoke test: Tovik"
  local dir log events w=${SCREEN_SIZE%x*} h=${SCREEN_SIZE#*x}
  dir=$(smoke_folder tovik) || return 1
  log=$dir/tovik.log events=$dir/events.log
  local y=$((h / 2)) x1=$((w / 4)) x2=$((w * 3 / 4))
  {
    echo "await $(winpath "$dir/go")"
    echo "move $x1 $y"
    echo "f13 1"
    echo "lit 1"
    for _ in $(seq 20); do echo "path $x1 $y $x2 $y 1500"; echo "path $x2 $y $x1 $y 1500"; done
    echo "lit 0"
    echo "f13 0"
  } >"$dir/pen.txt"
  local t0=$SECONDS
  TOVIK_EVENT_LOG=$(winpath "$events") smoke_start "$dir" Tovik.exe "$log" --print-messages \
    --camera "sim:screen,script=$(winpath "$dir/pen.txt")"
  local auto
  auto=$(smoke_where "$dir" 1005 90) || smoke_fail "Tovik's console did not show" "$log" || return 1
  sleep 1
  screenshot tovik-console
  # shellcheck disable=SC2086
  wine_run 60 "$INPUT" click $auto
  smoke_wait_line "$events" '^calibration ' 60 || smoke_fail "no calibration" "$log" || return 1
  smoke_wait_line "$events" '^frame ' 20 || smoke_fail "no tracking" "$log" || return 1
  log "Tovik calibrated and tracks ($((SECONDS - t0)) s after its start)"
  # Once the pen is lit, the pointer follows it along its line: looks at the
  # pointer until it has been seen on the line at four different places.
  : >"$dir/go"
  local seen=() p px py deadline=$((SECONDS + 45))
  while ((${#seen[@]} < 4 && SECONDS < deadline)); do
    p=$(wine_run 60 "$INPUT" where | tr -d '\r')
    read -r px py <<<"$p"
    if ((px >= x1 - 40 && px <= x2 + 40 && py >= y - 40 && py <= y + 40)) &&
      [[ " ${seen[*]} " != *" $px "* ]]; then
      seen+=("$px")
    fi
    sleep 0.5
  done
  smoke_stop
  ((${#seen[@]} >= 4)) || { smoke_fail "the pointer did not follow the pen (seen on its line at x: ${seen[*]})" "$log"; return 1; }
  log "Tovik: the pointer followed the pen (on its line at x ${seen[*]})"
}
