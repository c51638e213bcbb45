#!/usr/bin/env bash
# Cross-builds the libraries the 64-bit Windows build needs from Debian's own
# source packages (the versions the Linux build uses) with Debian's mingw-w64,
# once, into a cache keyed by versions and build flags:
#
#   ~/.cache/tovik-kalvo/win64-parts/<library>-<key>/   one installed library
#   ~/.cache/tovik-kalvo/win64-deps-<key>/              links to all of them,
#                                                       COMPLETE when all built
#
#   build-deps.sh           install the Debian packages, build what is missing
#   build-deps.sh --prefix  print the cache folder, build nothing
#   build-deps.sh --check   exit 0 only when the cache folder is complete
#   build-deps.sh --part L  print the folder of library L (googletest,
#                           libjpeg-turbo, zlib, opencv, qt6-base) when it is built
#   build-deps.sh --only L  build library L (and what it needs) only
#
# The source packages are fetched with apt-get through a private apt
# configuration and state folder; the machine's apt configuration is untouched.
set -euo pipefail
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
CACHE_ROOT=${TK_CACHE_DIR:-$HOME/.cache/tovik-kalvo}
TOOLCHAIN=$HERE/mingw-w64.cmake
TRIPLE=x86_64-w64-mingw32
JOBS=${TK_JOBS:-$(nproc 2>/dev/null || echo 2)}

# Debian packages the cross build, its tests and the installer need.
WIN_PACKAGES=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  mingw-w64-x86-64-dev wine64 wine nsis
  dpkg-dev perl cmake ninja-build qt6-base-dev qt6-base-dev-tools
  xvfb xauth x11-utils fonts-wqy-microhei imagemagick
)

log() { printf '== %s\n' "$*" >&2; }

# --- versions: the source packages behind the host's development packages ---
src_version() { # binary-package
  dpkg-query -W -f='${source:Version}' "$1" 2>/dev/null || true
}
QT_VERSION=$(src_version qt6-base-dev)
OPENCV_VERSION=$(src_version libopencv-core-dev)
JPEG_VERSION=$(src_version libturbojpeg0-dev)
GTEST_VERSION=$(src_version libgtest-dev)
ZLIB_VERSION=$(src_version zlib1g-dev)

# --- build flags, part of each library's key ---
GTEST_FLAGS=(
  -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF -DBUILD_GMOCK=ON
  -Dgtest_disable_pthreads=ON -DINSTALL_GTEST=ON
)
JPEG_FLAGS=(
  -DCMAKE_BUILD_TYPE=Release -DENABLE_SHARED=ON -DENABLE_STATIC=OFF
  -DWITH_TURBOJPEG=ON -DWITH_SIMD=OFF -DWITH_JAVA=OFF
)
# Debian's OpenCV source has no bundled third-party folder: zlib comes from
# Debian's own source package, linked statically into OpenCV.
ZLIB_FLAGS=(-DCMAKE_BUILD_TYPE=Release)
OPENCV_FLAGS=(
  -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
  -DBUILD_LIST=core,imgproc,calib3d,imgcodecs,videoio
  -DBUILD_TESTS=OFF -DBUILD_PERF_TESTS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_opencv_apps=OFF
  -DBUILD_DOCS=OFF -DBUILD_JAVA=OFF -DBUILD_opencv_python2=OFF -DBUILD_opencv_python3=OFF
  -DBUILD_opencv_world=OFF -DENABLE_PRECOMPILED_HEADERS=OFF -DCPU_DISPATCH=
  # OpenCV's Media Foundation capture does not build with mingw-w64 (OpenCV
  # leaves it out for MinGW itself): frames come through DirectShow, the
  # listing and the controls through Media Foundation (tovik/camera/win32).
  -DWITH_MSMF=OFF -DWITH_DSHOW=ON -DWITH_DIRECTX=OFF
  -DWITH_FFMPEG=OFF -DWITH_GSTREAMER=OFF -DWITH_1394=OFF -DWITH_OPENCL=OFF -DWITH_IPP=OFF
  -DWITH_ITT=OFF -DWITH_EIGEN=OFF -DWITH_LAPACK=OFF -DWITH_PROTOBUF=OFF -DWITH_ADE=OFF
  -DWITH_QUIRC=OFF -DWITH_TIFF=OFF -DWITH_WEBP=OFF -DWITH_OPENJPEG=OFF -DWITH_JASPER=OFF
  -DWITH_OPENEXR=OFF -DWITH_PNG=OFF -DWITH_IMGCODEC_HDR=OFF -DWITH_IMGCODEC_PFM=OFF
  -DWITH_VTK=OFF -DWITH_GTK=OFF -DWITH_WIN32UI=OFF -DWITH_OPENMP=OFF -DWITH_VA=OFF
  -DWITH_OBSENSOR=OFF -DWITH_JPEG=ON -DBUILD_JPEG=OFF -DBUILD_ZLIB=OFF
  -DOPENCV_GENERATE_PKGCONFIG=OFF -DINSTALL_CREATE_DISTRIB=OFF
  -DOPENCV_BIN_INSTALL_PATH=bin -DOPENCV_LIB_INSTALL_PATH=lib
  -DOPENCV_LIB_ARCHIVE_INSTALL_PATH=lib -DOPENCV_3P_LIB_INSTALL_PATH=lib/opencv4/3rdparty
  -DOPENCV_CONFIG_INSTALL_PATH=lib/cmake/opencv4 -DOPENCV_INCLUDE_INSTALL_PATH=include/opencv4
  -DOPENCV_OTHER_INSTALL_PATH=share/opencv4 -DOPENCV_LICENSES_INSTALL_PATH=share/licenses/opencv4
)
QT_FLAGS=(
  -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
  -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF
  -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_vulkan=OFF -DFEATURE_direct2d=OFF
  -DFEATURE_tabletevent=OFF -DFEATURE_pkg_config=OFF
  # Qt Gui builds its DirectWrite 3 font database only with Direct 2D, but the
  # windows platform plugin asks for it with DirectWrite 3 alone: without
  # Direct 2D the plugin does not link. The GDI font database serves.
  -DFEATURE_directwrite3=OFF
  -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF
  -DFEATURE_system_jpeg=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_freetype=OFF
  -DFEATURE_system_doubleconversion=OFF -DFEATURE_system_md4c=OFF
)

hash_of() { sha256sum | cut -c1-12; }
compiler_id() { "$TRIPLE-g++-posix" --version 2>/dev/null | head -n 1 || echo none; }
part_key() { # name version flags...
  printf '%s\n' "$@" "$TOOLCHAIN_ID" | hash_of
}
PARTS=$CACHE_ROOT/win64-parts
# The keys include the cross compiler's version, so they are computed once it
# is installed.
compute_keys() {
  TOOLCHAIN_ID=$( { cat "$TOOLCHAIN"; compiler_id; } | hash_of)
  GTEST_KEY=$(part_key googletest "$GTEST_VERSION" "${GTEST_FLAGS[@]}")
  JPEG_KEY=$(part_key libjpeg-turbo "$JPEG_VERSION" "${JPEG_FLAGS[@]}")
  ZLIB_KEY=$(part_key zlib "$ZLIB_VERSION" "${ZLIB_FLAGS[@]}")
  OPENCV_KEY=$(part_key opencv "$OPENCV_VERSION" "$JPEG_KEY" "$ZLIB_KEY" "${OPENCV_FLAGS[@]}")
  QT_KEY=$(part_key qt6-base "$QT_VERSION" "${QT_FLAGS[@]}")
  DEPS_KEY=$(printf '%s\n' "$GTEST_KEY" "$JPEG_KEY" "$ZLIB_KEY" "$OPENCV_KEY" "$QT_KEY" | hash_of)
  DEPS=$CACHE_ROOT/win64-deps-$DEPS_KEY
}

ONLY=
case "${1:-}" in
  --only) ONLY=${2:-} ;;
  --prefix) compute_keys; echo "$DEPS"; exit 0 ;;
  --check) compute_keys; [ -f "$DEPS/COMPLETE" ]; exit ;;
  --part)
    compute_keys
    case "${2:-}" in
      googletest) part=googletest-$GTEST_KEY ;;
      libjpeg-turbo) part=libjpeg-turbo-$JPEG_KEY ;;
      zlib) part=zlib-$ZLIB_KEY ;;
      opencv) part=opencv-$OPENCV_KEY ;;
      qt6-base) part=qt6-base-$QT_KEY ;;
      *) echo "unknown library ${2:-}" >&2; exit 2 ;;
    esac
    [ -f "$PARTS/$part/.complete" ] || { echo "$2 is not built yet" >&2; exit 1; }
    echo "$PARTS/$part"
    exit 0 ;;
  "") ;;
  *) echo "usage: $0 [--prefix|--check|--part LIBRARY]" >&2; exit 2 ;;
esac

# --- Debian packages ---
install_packages() {
  local missing=() p
  for p in "${WIN_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  ((${#missing[@]} == 0)) && return 0
  log "installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends \
    -o DPkg::Lock::Timeout=3600 "${missing[@]}" >/dev/null
}

# --- source packages through a private apt configuration ---
APT_DIR=$CACHE_ROOT/apt
apt_private() {
  apt-get -q -o Dir::Etc::sourcelist="$APT_DIR/sources.list" \
    -o Dir::Etc::sourceparts="$APT_DIR/sources.list.d" \
    -o Dir::State::Lists="$APT_DIR/lists" -o Dir::Cache="$APT_DIR/cache" \
    -o APT::Sandbox::User=root "$@"
}
APT_UPDATED=
apt_private_update() {
  [ -n "$APT_UPDATED" ] && return 0
  mkdir -p "$APT_DIR/sources.list.d" "$APT_DIR/lists/partial" "$APT_DIR/cache/archives/partial"
  # deb-src entries with the same addresses, suites and keys as the deb ones.
  sed -n 's/^deb \(.*\)/deb-src \1/p' /etc/apt/sources.list >"$APT_DIR/sources.list" 2>/dev/null || true
  rm -f "$APT_DIR"/sources.list.d/*
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    sed 's/^Types:.*/Types: deb-src/' "$f" >"$APT_DIR/sources.list.d/${f##*/}"
  done
  for f in /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    sed -n 's/^deb \(.*\)/deb-src \1/p' "$f" >"$APT_DIR/sources.list.d/${f##*/}"
  done
  log "apt-get update (private deb-src lists)"
  apt_private update >/dev/null || return 1
  APT_UPDATED=1
}

# Unpacks source package NAME=VERSION into $CACHE_ROOT/win64-src/ and prints
# the folder.
fetch_source() { # name version
  local name=$1 version=$2 dir=$CACHE_ROOT/win64-src/$1-$2
  if [ ! -f "$dir/.unpacked" ]; then
    apt_private_update || return 1
    rm -rf "$dir"
    mkdir -p "$dir/dl"
    log "apt-get source $name=$version"
    (cd "$dir/dl" && apt_private source --download-only "$name=$version" >/dev/null) || return 1
    (cd "$dir/dl" && dpkg-source --no-check -x ./*.dsc "$dir/src" >/dev/null) || return 1
    rm -rf "$dir/dl"
    touch "$dir/.unpacked"
  fi
  echo "$dir/src"
}

# With --only L: L and the libraries it is built against.
want() {
  [ -z "$ONLY" ] || [ "$ONLY" = "$1" ] ||
    { [ "$ONLY" = opencv ] && { [ "$1" = libjpeg-turbo ] || [ "$1" = zlib ]; }; }
}

TIMINGS=$CACHE_ROOT/win64-timings.log
# Configures, builds and installs one CMake project into its cache part.
build_part() { # name version key source-subdir flags...
  local name=$1 version=$2 key=$3 sub=$4; shift 4
  local out=$PARTS/$name-$key
  if [ -f "$out/.complete" ]; then
    log "$name: cached ($out)"
    return 0
  fi
  local src build t0
  src=$(fetch_source "$name" "$version") || return 1
  build=$CACHE_ROOT/win64-build/$name-$key
  t0=$(date +%s)
  log "$name $version: configure"
  rm -rf "$out"
  # A build folder left by a run from another checkout includes that
  # checkout's toolchain file, which may be gone: it starts again.
  local system
  system=$(find "$build/CMakeFiles" -maxdepth 2 -name CMakeSystem.cmake 2>/dev/null | sed -n 1p)
  if [ -n "$system" ] && ! grep -qF "include(\"$TOOLCHAIN\")" "$system"; then
    rm -rf "$build"
  fi
  mkdir -p "$build"
  cmake -G Ninja -S "$src/$sub" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DCMAKE_INSTALL_PREFIX="$out" "$@" >"$build.configure.log" 2>&1 ||
    { tail -n 40 "$build.configure.log" >&2; return 1; }
  log "$name: build (-j$JOBS, log $build.build.log)"
  if [ "$name" = zlib ]; then
    # Debian's zlib source has no resource file for the DLL: the static
    # library (all OpenCV needs) and the headers only.
    cmake --build "$build" -j "$JOBS" --target zlibstatic >"$build.build.log" 2>&1 ||
      { tail -n 40 "$build.build.log" >&2; return 1; }
    mkdir -p "$out/lib" "$out/include"
    cp "$build/libzlibstatic.a" "$out/lib/" &&
      cp "$src/zlib.h" "$build/zconf.h" "$out/include/" || return 1
  else
    cmake --build "$build" -j "$JOBS" >"$build.build.log" 2>&1 ||
      { grep -B2 -A12 -m3 'error' "$build.build.log" >&2 || tail -n 40 "$build.build.log" >&2; return 1; }
    cmake --install "$build" >"$build.install.log" 2>&1 ||
      { tail -n 40 "$build.install.log" >&2; return 1; }
  fi
  touch "$out/.complete"
  rm -rf "$build"
  local secs=$(($(date +%s) - t0))
  printf '%s %s %s built in %d s (-j%s)\n' "$(date -u +%FT%TZ)" "$name" "$version" "$secs" "$JOBS" |
    tee -a "$TIMINGS" >&2
}

main() {
  local t0; t0=$(date +%s)
  install_packages
  if [ -z "$QT_VERSION" ] || [ -z "$OPENCV_VERSION" ] || [ -z "$JPEG_VERSION" ] ||
     [ -z "$GTEST_VERSION" ] || [ -z "$ZLIB_VERSION" ]; then
    echo "the host development packages are missing; run ./run setup first" >&2
    return 1
  fi
  compute_keys
  if [ -f "$DEPS/COMPLETE" ]; then
    log "Windows libraries: cached in $DEPS"
    echo "$DEPS"
    return 0
  fi
  mkdir -p "$PARTS"

  # One library that fails does not keep the others from being built.
  local failed=()
  want googletest &&
    { build_part googletest "$GTEST_VERSION" "$GTEST_KEY" . "${GTEST_FLAGS[@]}" || failed+=(googletest); }
  want libjpeg-turbo &&
    { build_part libjpeg-turbo "$JPEG_VERSION" "$JPEG_KEY" . "${JPEG_FLAGS[@]}" || failed+=(libjpeg-turbo); }
  local jpeg=$PARTS/libjpeg-turbo-$JPEG_KEY
  want zlib && { build_part zlib "$ZLIB_VERSION" "$ZLIB_KEY" . "${ZLIB_FLAGS[@]}" || failed+=(zlib); }
  local zlib=$PARTS/zlib-$ZLIB_KEY
  want opencv && { build_part opencv "$OPENCV_VERSION" "$OPENCV_KEY" . "${OPENCV_FLAGS[@]}" \
    -DJPEG_INCLUDE_DIR="$jpeg/include" -DJPEG_LIBRARY="$jpeg/lib/libjpeg.dll.a" \
    -DZLIB_INCLUDE_DIR="$zlib/include" -DZLIB_LIBRARY="$zlib/lib/libzlibstatic.a" \
    -DCMAKE_FIND_ROOT_PATH="$jpeg;$zlib" || failed+=(opencv); }
  local hostcmake
  hostcmake=$(dirname "$(dpkg -L qt6-base-dev | grep -m1 '/cmake/Qt6/Qt6Config.cmake$')")
  want qt6-base && { build_part qt6-base "$QT_VERSION" "$QT_KEY" . "${QT_FLAGS[@]}" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR="$(dirname "$hostcmake")" || failed+=(qt6-base); }
  if ((${#failed[@]} > 0)); then
    echo "not built: ${failed[*]} (logs in $CACHE_ROOT/win64-build/)" >&2
    return 1
  fi
  [ -n "$ONLY" ] && return 0

  rm -rf "$DEPS"
  mkdir -p "$DEPS"
  ln -s "../win64-parts/googletest-$GTEST_KEY" "$DEPS/googletest"
  ln -s "../win64-parts/libjpeg-turbo-$JPEG_KEY" "$DEPS/libjpeg-turbo"
  ln -s "../win64-parts/zlib-$ZLIB_KEY" "$DEPS/zlib"
  ln -s "../win64-parts/opencv-$OPENCV_KEY" "$DEPS/opencv"
  ln -s "../win64-parts/qt6-base-$QT_KEY" "$DEPS/qtbase"
  printf 'qtbase %s\nopencv %s\nlibjpeg-turbo %s\nzlib %s\ngoogletest %s\n' \
    "$QT_VERSION" "$OPENCV_VERSION" "$JPEG_VERSION" "$ZLIB_VERSION" "$GTEST_VERSION" >"$DEPS/VERSIONS"
  touch "$DEPS/COMPLETE"
  printf '%s all Windows libraries ready in %d s\n' "$(date -u +%FT%TZ)" "$(($(date +%s) - t0))" |
    tee -a "$TIMINGS" >&2
  echo "$DEPS"
}

main; exit
