#!/usr/bin/env bash
# The 64-bit Windows build, run from ./run windows and ./run test:
#
#   windows.sh build [--platform-only]   cross-build into build/win64
#   windows.sh test  [--platform-only]   run its tests under wine64 on a private Xvfb
#
# --platform-only needs only GoogleTest and libjpeg-turbo from the library
# cache: the platform layer, the settings files, jpgdll.dll and their tests.
set -euo pipefail
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
BUILD=$ROOT/build/win64
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

cmd_build() {
  local prefixes=() p
  mapfile -t prefixes < <(dep_prefixes)
  ((${#prefixes[@]} > 0)) || return 1
  local list
  list=$(IFS=';'; echo "${prefixes[*]}")
  local args=(-G Ninja -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_TOOLCHAIN_FILE="$HERE/mingw-w64.cmake" -DCMAKE_PREFIX_PATH="$list"
    -DCMAKE_CROSSCOMPILING_EMULATOR="$WINE" -DTK_BUILD_TESTS=ON
    -DTK_WINDOWS_PLATFORM_ONLY="${PLATFORM_ONLY:+ON}")
  [ -z "$PLATFORM_ONLY" ] && args+=(-DTK_WINDOWS_PLATFORM_ONLY=OFF -DQT_HOST_PATH=/usr)
  log "configure $BUILD"
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

# A private X server and Wine prefix for the tests; both go away at exit.
XVFB_PID=
SCREEN_SIZE=1280x800
start_wine_env() {
  local fifo n
  fifo=$(mktemp -u); mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 "${SCREEN_SIZE}x24" -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
  XVFB_PID=$!
  read -r -t 20 n <"$fifo" || { rm -f "$fifo"; echo "Xvfb did not start" >&2; return 1; }
  rm -f "$fifo"
  export DISPLAY=":$n"
  export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEPREFIX=$BUILD/wineprefix
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    log "Wine prefix $WINEPREFIX"
    "$WINE" wineboot -i >/dev/null 2>&1
  fi
  local dirs=() d
  while read -r d; do dirs+=("Z:${d//\//\\}"); done <"$BUILD/dll-dirs.txt"
  WINEPATH=$(IFS=';'; echo "${dirs[*]}")
  export WINEPATH TK_SCREEN_SIZE=$SCREEN_SIZE
}
stop_wine_env() {
  [ -n "${WINEPREFIX:-}" ] && WINEPREFIX=$WINEPREFIX /usr/lib/wine/wineserver -k 2>/dev/null || true
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
  XVFB_PID=
}
trap stop_wine_env EXIT

cmd_test() {
  [ -f "$BUILD/build.ninja" ] || { echo "not built: $0 build" >&2; return 1; }
  start_wine_env
  log "Windows tests under wine64 on display $DISPLAY"
  (cd "$BUILD" && ctest --output-on-failure --timeout 300 ${TK_CTEST_ARGS:-})
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
  *) echo "usage: $0 build|test [--platform-only]" >&2; exit 2 ;;
esac
