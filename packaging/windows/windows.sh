#!/usr/bin/env bash
# The 64-bit Windows build, run from ./run windows and ./run test:
#
#   windows.sh build [--platform-only]   cross-build into build/win64
#   windows.sh test  [--platform-only]   run its tests under wine64 on a private Xvfb
#   windows.sh package                   the self-contained folder and the installer
#                                        in build/windows/
#   windows.sh art                       icons (.ico) and help.mht from the host build
#   windows.sh screenshots               the smoke tests, their screenshots copied to
#                                        docs/screenshots/windows-*.png
#
# --platform-only needs no Qt from the library cache: the platform layer, the
# settings files, jpgdll.dll and, with OpenCV, tracking, camera, calibration
# and the simulator, with their tests.
set -euo pipefail
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
BUILD=$ROOT/build/win64
OUT=$ROOT/build/windows
DEPS_SCRIPT=$HERE/build-deps.sh
WINE=/usr/lib/wine/wine64
MINGW_DLL_DIRS=(/usr/lib/gcc/x86_64-w64-mingw32/12-posix /usr/x86_64-w64-mingw32/lib)

log() { printf '== %s\n' "$*" >&2; }

PLATFORM_ONLY=
# The installed libraries: all of the cache, or the two parts platform-only needs.
dep_prefixes() {
  if [ -n "$PLATFORM_ONLY" ]; then
    "$DEPS_SCRIPT" --part googletest
    "$DEPS_SCRIPT" --part libjpeg-turbo 2>/dev/null || true
    "$DEPS_SCRIPT" --part opencv 2>/dev/null || true
  else
    local deps
    deps=$("$DEPS_SCRIPT" --prefix)
    "$DEPS_SCRIPT" --check || { echo "the Windows libraries are not built: ./run windows" >&2; return 1; }
    local d
    for d in qtbase opencv libjpeg-turbo googletest; do
      readlink -f "$deps/$d"
    done
  fi
}

# The artwork is the same on every platform: the icons and the help page come
# from the host build's own tools (build/dev), then become .ico and .mht.
ART=$ROOT/build/windows-art
make_art() {
  (cd "$ROOT" && { [ -f build/dev/build.ninja ] || cmake --preset dev >/dev/null; } &&
    cmake --build build/dev --target make_tovik_icon kalvo_art_generator kalvo_help >/dev/null)
  mkdir -p "$ART"
  local app size pngs
  for app in tovik kalvo; do
    pngs=()
    for size in 16 24 32 48 64 128 256; do
      if [ "$app" = tovik ]; then
        QT_QPA_PLATFORM=offscreen "$ROOT/build/dev/bin/make_tovik_icon" "$size" "$ART/$app-$size.png" >/dev/null 2>&1
      else
        QT_QPA_PLATFORM=offscreen "$ROOT/build/dev/bin/kalvo_art_generator" --app-icon "$size" \
          "$ART/$app-$size.png" >/dev/null 2>&1
      fi
      pngs+=("$ART/$app-$size.png")
    done
    convert "${pngs[@]}" "$ART/$app.ico"
  done
  "$HERE/make-mht.sh" "$ROOT/build/dev/bin/help" "$ART/help.mht"
}

cmd_build() {
  local prefixes=() p
  mapfile -t prefixes < <(dep_prefixes)
  ((${#prefixes[@]} > 0)) || return 1
  local list
  list=$(IFS=';'; echo "${prefixes[*]}")
  local args=(-G Ninja -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_TOOLCHAIN_FILE="$HERE/mingw-w64.cmake" -DCMAKE_PREFIX_PATH="$list"
    -DCMAKE_CROSSCOMPILING_EMULATOR="$WINE" -DTK_BUILD_TESTS=ON -DCMAKE_UNITY_BUILD=ON
    -DTK_WINDOWS_PLATFORM_ONLY="${PLATFORM_ONLY:+ON}")
  if [ -z "$PLATFORM_ONLY" ]; then
    make_art
    # The host's Qt (moc, rcc, uic) runs the code generators, as when the
    # Windows Qt itself was built.
    local hostcmake
    hostcmake=$(dirname "$(dirname "$(dpkg -L qt6-base-dev | grep -m1 '/cmake/Qt6/Qt6Config.cmake$')")")
    args+=(-DTK_WINDOWS_PLATFORM_ONLY=OFF -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR="$hostcmake"
      -DTK_WINDOWS_ART_DIR="$ART" -DTK_HOST_PICKERS_ARTWORK="$ROOT/build/dev/bin/make_pickers_artwork")
  fi
  log "configure $BUILD"
  mkdir -p "$BUILD"
  TK_WIN64_DEPS="$list" cmake "${args[@]}" >"$BUILD.configure.log" 2>&1 ||
    { tail -n 30 "$BUILD.configure.log" >&2; return 1; }
  log "build $BUILD"
  TK_WIN64_DEPS="$list" cmake --build "$BUILD" -j "$(nproc 2>/dev/null || echo 2)"
  # The DLLs the test programs load, for the runner's WINEPATH.
  : >"$BUILD/dll-dirs.txt"
  for p in "${prefixes[@]}"; do
    [ -d "$p/bin" ] && echo "$p/bin" >>"$BUILD/dll-dirs.txt"
  done
  printf '%s\n' "${MINGW_DLL_DIRS[@]}" >>"$BUILD/dll-dirs.txt"
}

# Every Wine call is bounded: a program that hangs under Wine fails its check
# instead of the whole run.
WINESERVER=/usr/lib/wine/wineserver
wine_run() { # seconds program args...
  local secs=$1
  shift
  timeout -k 5 "$secs" "$WINE" "$@"
}
# Waits up to SECONDS for the prefix's programs to end, then ends them.
wine_settle() { # seconds
  timeout -k 5 "$1" "$WINESERVER" -w 2>/dev/null || { timeout 10 "$WINESERVER" -k 2>/dev/null || true; }
}

# A new Wine prefix in $WINEPREFIX. Wine's own fonts have no Chinese: the
# system's CJK font (Debian's fonts-wqy-microhei) is linked to the fonts
# Windows programs and dialogs ask for, as Windows links its own.
CJK_FONT='wqy-microhei.ttc,WenQuanYi Micro Hei'
make_prefix() {
  wine_run 180 wineboot -i >/dev/null 2>&1 || { echo "wineboot did not make $WINEPREFIX" >&2; return 1; }
  local font
  for font in "Tahoma" "Microsoft Sans Serif" "MS Shell Dlg" "MS Shell Dlg 2" "Segoe UI" \
              "Arial" "Courier New" "Lucida Console"; do
    wine_run 60 reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
      /v "$font" /t REG_MULTI_SZ /d "$CJK_FONT" /f >/dev/null 2>&1 ||
      { echo "the font link for $font was not written" >&2; return 1; }
  done
  wine_settle 60
}

# A private X server and a new Wine prefix for each run; both go away at exit.
XVFB_PID=
SCREEN_SIZE=1280x800
PREFIXES=()
# Each is a copy of a template made once for this Wine and this way of making
# it: wineboot and the font links take longer than the copy.
new_prefix() { # name
  export WINEPREFIX
  local template
  template=$BUILD/wine-template-$({ "$WINE" --version; declare -f make_prefix; } | md5sum | cut -c1-12)
  if [ ! -d "$template" ]; then
    WINEPREFIX=$(mktemp -d "$BUILD/wine-template.XXXXXX")
    make_prefix || { rm -rf "$WINEPREFIX"; return 1; }
    mv -T "$WINEPREFIX" "$template"
  fi
  WINEPREFIX=$(mktemp -d "$BUILD/wine-$1.XXXXXX")
  PREFIXES+=("$WINEPREFIX")
  log "Wine prefix $WINEPREFIX (a copy of ${template##*/})"
  cp -a "$template/." "$WINEPREFIX/"
}
start_wine_env() {
  local fifo n
  fifo=$(mktemp -u); mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 "${SCREEN_SIZE}x24" -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
  XVFB_PID=$!
  read -r -t 20 n <"$fifo" || { rm -f "$fifo"; echo "Xvfb did not start" >&2; return 1; }
  rm -f "$fifo"
  export DISPLAY=":$n"
  export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  new_prefix tests
  local dirs=() d
  while read -r d; do dirs+=("Z:${d//\//\\}"); done <"$BUILD/dll-dirs.txt"
  WINEPATH=$(IFS=';'; echo "${dirs[*]}")
  export WINEPATH TK_SCREEN_SIZE=$SCREEN_SIZE
}
stop_wine_env() {
  local p
  for p in "${PREFIXES[@]}"; do
    WINEPREFIX=$p timeout 10 "$WINESERVER" -k 2>/dev/null || true
    WINEPREFIX=$p timeout 20 "$WINESERVER" -w 2>/dev/null || true
    [ -n "${TK_KEEP_WINEPREFIX:-}" ] || rm -rf "$p"
  done
  PREFIXES=()
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
  fi
  XVFB_PID=
}
trap stop_wine_env EXIT
trap 'exit 143' TERM INT HUP

# The package is made again when a program or library is newer than it.
package_current() {
  local f
  for f in tovik.exe:Tovik.exe kalvo.exe:Kalvo.exe jpgdll.dll:jpgdll.dll; do
    [ "$OUT/TovikKalvo/${f#*:}" -nt "$BUILD/bin/${f%%:*}" ] || return 1
  done
  [ -f "$OUT/TovikKalvo-2.4.1-setup.exe" ]
}

# The level's parts, each reported on one line: unit (the cross-built unit
# tests), kalvo and tovik (the smoke tests), installer (its round trip).
# TK_WINDOWS_PARTS picks some of them (all by default).
PARTS_RUN=${TK_WINDOWS_PARTS:-unit kalvo tovik installer}
RESULTS=()
run_part() { # name description command...
  local name=$1 what=$2
  shift 2
  if [[ " $PARTS_RUN " != *" $name "* ]]; then
    RESULTS+=("windows level: $what: not run (TK_WINDOWS_PARTS)")
    return 0
  fi
  local t0=$SECONDS
  if "$@"; then
    RESULTS+=("windows level: $what: passed ($((SECONDS - t0)) s)")
  else
    RESULTS+=("windows level: $what: FAILED ($((SECONDS - t0)) s)")
    return 1
  fi
}
# Two at once: the platform tests wait on the display, the calibration tests
# compute; together they take the time of the longer.
unit_tests() {
  (cd "$BUILD" && ctest --output-on-failure --timeout 300 -j 2 ${TK_CTEST_ARGS:-})
}

cmd_test() {
  [ -f "$BUILD/build.ninja" ] || { echo "not built: $0 build" >&2; return 1; }
  if [ -z "$PLATFORM_ONLY" ] && ! package_current; then
    cmd_package || return 1
  fi
  start_wine_env
  log "Windows tests under wine64 on display $DISPLAY"
  local rc=0
  run_part unit "unit tests under wine64" unit_tests || rc=1
  if [ -z "$PLATFORM_ONLY" ]; then
    run_part kalvo "Kalvo smoke test (toolbar, SendInput stroke, .bmp and .jpg)" smoke_kalvo || rc=1
    run_part tovik "Tovik smoke test (simulated camera, calibration, pointer)" smoke_tovik || rc=1
    run_part installer "installer round trip (/S, programs start, uninstall keeps settings)" \
      test_installer || rc=1
  fi
  printf '%s\n' "${RESULTS[@]}"
  return $rc
}

# The smoke tests' screenshots, for the documentation.
cmd_screenshots() {
  [ -f "$BUILD/build.ninja" ] || { echo "not built: $0 build" >&2; return 1; }
  package_current || cmd_package || return 1
  start_wine_env
  rm -f "$OUT"/screenshots/windows-*.png
  local rc=0
  smoke_kalvo || rc=$?
  smoke_tovik || rc=$?
  mkdir -p "$ROOT/docs/screenshots"
  local shot
  for shot in "$OUT"/screenshots/windows-*.png; do
    [ -f "$shot" ] && cp "$shot" "$ROOT/docs/screenshots/" && echo "docs/screenshots/${shot##*/}"
  done
  return $rc
}
# shellcheck source=packaging/windows/smoke.sh
source "$HERE/smoke.sh"

# The installer, silently, into a fresh prefix: the programs land in Program
# Files with their Start-menu entries and start; the uninstaller removes them
# and leaves the user's settings.
test_installer() {
  local setup=$OUT/TovikKalvo-2.4.1-setup.exe
  log "installer round trip"
  local saved=$WINEPREFIX
  new_prefix installer || return 1
  local c=$WINEPREFIX/drive_c fail=0
  local dir="$c/Program Files/TovikKalvo" menu="$c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tovik Kalvo"
  wine_run 300 "$(winpath "$setup")" /S || { echo "installer: setup /S did not finish" >&2; fail=1; }
  wine_settle 120
  local f
  for f in "$dir/Tovik.exe" "$dir/Kalvo.exe" "$dir/jpgdll.dll" "$dir/help.mht" \
           "$dir/platforms/qwindows.dll" "$menu/Tovik 光笔控制台.lnk" "$menu/Kalvo 屏幕批注.lnk"; do
    [ -f "$f" ] || { echo "installer: missing $f" >&2; fail=1; }
  done
  local app out
  for app in Tovik Kalvo; do
    out=$(WINEPATH='' wine_run 120 "C:\\Program Files\\TovikKalvo\\$app.exe" --version 2>/dev/null | tr -d '\r')
    case "$out" in
      *2.4.1*) ;;
      *) echo "installer: installed $app.exe --version said '$out'" >&2; fail=1 ;;
    esac
  done
  local settings="$c/users/${USER:-$(id -un)}/AppData/Roaming/Kalvo"
  mkdir -p "$settings" && echo "[PEN]" >"$settings/Kalvo.ini"
  wine_run 120 "C:\\Program Files\\TovikKalvo\\uninstall.exe" /S ||
    { echo "installer: the uninstaller did not finish" >&2; fail=1; }
  # The uninstaller copies itself to a temporary folder and goes on from there.
  local deadline=$((SECONDS + 60))
  while [ -e "$dir" ] && ((SECONDS < deadline)); do sleep 1; done
  wine_settle 60
  [ -e "$dir" ] && { echo "installer: $dir is still there after uninstalling" >&2; fail=1; }
  [ -e "$menu" ] && { echo "installer: the Start-menu entries are still there" >&2; fail=1; }
  [ -f "$settings/Kalvo.ini" ] || { echo "installer: the uninstaller removed the settings" >&2; fail=1; }
  timeout 10 "$WINESERVER" -k 2>/dev/null || true
  WINEPREFIX=$saved
  ((fail == 0)) && log "installer: installed, both programs start, uninstalled, settings kept"
  return $fail
}

# The DLLs a program or library imports, found in the build's DLL folders,
# recursively; system DLLs (not found there) are left to Windows.
declare -A COPIED=()
copy_imports() { # file dest
  local dll dir
  while read -r dll; do
    [ -n "${COPIED[${dll,,}]:-}" ] && continue
    while read -r dir; do
      if [ -f "$dir/$dll" ]; then
        COPIED[${dll,,}]=1
        cp "$dir/$dll" "$2/"
        copy_imports "$dir/$dll" "$2"
        break
      fi
    done <"$BUILD/dll-dirs.txt"
  done < <(x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^\s*DLL Name: //p')
}

cmd_package() {
  local bin=$BUILD/bin
  [ -f "$bin/tovik.exe" ] && [ -f "$bin/kalvo.exe" ] ||
    { echo "the programs are not built: $0 build" >&2; return 1; }
  local qt dir=$OUT/TovikKalvo
  qt=$(readlink -f "$("$DEPS_SCRIPT" --prefix)/qtbase")
  rm -rf "$dir"
  mkdir -p "$dir/platforms" "$dir/styles"
  cp "$bin/tovik.exe" "$dir/Tovik.exe"
  cp "$bin/kalvo.exe" "$dir/Kalvo.exe"
  cp "$bin/jpgdll.dll" "$ART/help.mht" "$ART/tovik.ico" "$ART/kalvo.ico" "$dir/"
  cp "$qt/plugins/platforms/qwindows.dll" "$dir/platforms/"
  if [ -f "$qt/plugins/styles/qwindowsvistastyle.dll" ]; then
    cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$dir/styles/"
  fi
  local f
  for f in "$dir"/*.exe "$dir"/*.dll "$dir"/platforms/*.dll "$dir"/styles/*.dll; do
    [ -f "$f" ] && copy_imports "$f" "$dir"
  done
  # The uninstaller removes exactly what was installed.
  (cd "$dir" && find . -type f | sort | sed 's|^\./||; s|/|\\|g; s|^|  Delete "$INSTDIR\\|; s|$|"|'
   cd "$dir" && find . -mindepth 1 -type d | sort -r | sed 's|^\./||; s|/|\\|g; s|^|  RMDir "$INSTDIR\\|; s|$|"|') \
    >"$OUT/installed-files.nsh"
  local setup=$OUT/TovikKalvo-2.4.1-setup.exe
  makensis -V2 -DSRC="$dir" -DOUT="$setup" -DFILELIST="$OUT/installed-files.nsh" \
    "$HERE/installer.nsi" >"$OUT/makensis.log" ||
    { tail -n 20 "$OUT/makensis.log" >&2; return 1; }
  log "folder $dir, installer $setup"
}

cmd=${1:-}
shift || true
for a in "$@"; do
  case "$a" in
    --platform-only) PLATFORM_ONLY=1 ;;
    *) echo "unknown option $a" >&2; exit 2 ;;
  esac
done
case "$cmd" in
  build) cmd_build ;;
  test) cmd_test ;;
  package) cmd_package ;;
  art) make_art ;;
  screenshots) cmd_screenshots ;;
  *) echo "usage: $0 build|test|package|art|screenshots [--platform-only]" >&2; exit 2 ;;
esac
