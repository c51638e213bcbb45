#!/usr/bin/env bash
# The Debian package as a user gets it: builds it with ./run package, checks
# its control fields and file list, validates the desktop entries, AppStream
# files and man pages it ships, unpacks it into a temporary root and runs the
# installed programs from there with a temporary HOME under a private Xvfb.
#
#   package_test.sh --root SOURCE_DIR --tools DEV_BIN_DIR [--tree BUILD_DIR] [--deb FILE]
#
# --tools holds e2e_driver and the geometry probe of the dev build; --tree
# packages that build tree (the Release tree by default); --deb checks an
# existing package instead of building one.
set -euo pipefail
# shellcheck source=../support/desktop.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/desktop.sh"

ROOT='' TOOLS='' TREE='' DEB=''
while (($#)); do
  case $1 in
    --root) ROOT=$2; shift 2 ;;
    --tools) TOOLS=$2; shift 2 ;;
    --tree) TREE=$2; shift 2 ;;
    --deb) DEB=$2; shift 2 ;;
    *) usage_from_header "${BASH_SOURCE[0]}"; exit 2 ;;
  esac
done
[[ -n $ROOT && -n $TOOLS ]] || { echo "package_test.sh: --root and --tools are needed" >&2; exit 2; }

WORK=$(mktemp -d "${TMPDIR:-/tmp}/tk-package-XXXXXX")
SPAWN_LOGS=$WORK
cleanup() {
  local rc=$?
  teardown
  rm -rf "$WORK"
  exit $rc
}
trap cleanup EXIT
FAILED=0 REPORTED=0
fail() { echo "FAIL: $*" >&2; FAILED=$((FAILED + 1)); }
die() { echo "FAIL: $*" >&2; exit 1; }
ok() { # a section ends: "ok" unless it failed
  ((FAILED == REPORTED)) && echo "ok: $*"
  REPORTED=$FAILED
}

VERSION=$(sed -n 's/^project(TovikKalvo VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt")
[[ -n $VERSION ]] || die "no project version in CMakeLists.txt"

# ---- build ----
if [[ -z $DEB ]]; then
  start=$SECONDS
  "$ROOT/run" package ${TREE:+"$TREE"} >"$WORK/package.log" 2>&1 || { tail -n 40 "$WORK/package.log" >&2; die "./run package failed"; }
  echo "./run package took $((SECONDS - start)) s"
  shopt -s nullglob
  debs=("$ROOT"/build/package/*.deb)
  shopt -u nullglob
  ((${#debs[@]} == 1)) || die "build/package holds ${#debs[@]} .deb files, not one"
  DEB=${debs[0]}
fi
echo "package: $DEB ($(du -k "$DEB" | cut -f1) KiB)"

# ---- control fields ----
field() { dpkg-deb -f "$DEB" "$1"; }
[[ $(field Package) == tovik-kalvo ]] || fail "Package is $(field Package)"
[[ $(field Version) == "$VERSION" ]] || fail "Version $(field Version), the project says $VERSION"
[[ $(field Maintainer) =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] || fail "Maintainer '$(field Maintainer)'"
[[ $(field Recommends) == onboard ]] || fail "Recommends '$(field Recommends)'"
depends=$(field Depends)
for dep in 'fonts-noto-cjk | fonts-wqy-microhei' libc6 libqt6widgets6 libopencv-calib3d libturbojpeg libx11-6 libxtst6; do
  [[ $depends == *"$dep"* ]] || fail "Depends lacks $dep: $depends"
done
(($(field Description | wc -l) >= 4)) || fail "the description has no long text"
ok "control fields (Depends: $depends)"

# ---- file list: the programs, the converter, the help page, desktop files, nothing else ----
dpkg-deb -c "$DEB" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./||' | sort >"$WORK/files"
lib=$(grep -E '^usr/lib/([a-z0-9_-]+/)?kalvo/jpgdll\.so$' "$WORK/files" | sed 's|/kalvo/jpgdll.so$||') ||
  fail "no jpgdll.so in a private lib/kalvo folder"
id=$(sed -n 's|^usr/share/applications/\(.*\)\.Tovik\.desktop$|\1|p' "$WORK/files")
[[ -n $id ]] || fail "no Tovik desktop entry"
{
  printf '%s\n' usr/bin/tovik usr/bin/kalvo "$lib/kalvo/jpgdll.so" usr/share/kalvo/help/help.html
  for i in $(seq 0 11); do echo "usr/share/kalvo/help/images/button$i.png"; done
  for app in Tovik Kalvo; do
    echo "usr/share/applications/$id.$app.desktop"
    echo "usr/share/metainfo/$id.$app.metainfo.xml"
    for s in 16 22 24 32 48 64 128 256; do echo "usr/share/icons/hicolor/${s}x$s/apps/$id.$app.png"; done
  done
  echo usr/share/man/man1/tovik.1.gz
  echo usr/share/man/man1/kalvo.1.gz
  printf 'usr/share/doc/tovik-kalvo/%s\n' copyright changelog.gz examples/70-tovik-pen-receiver.rules
  # The Wayland back end's uinput rule, shipped once its file is in the tree.
  rule=60-tovik-kalvo-uinput.rules
  [[ ! -f $ROOT/packaging/udev/$rule ]] || echo "usr/lib/udev/rules.d/$rule"
} | sort >"$WORK/expected"
diff -u "$WORK/expected" "$WORK/files" >&2 || fail "the file list differs (- expected, + in the package)"
ok "file list: $(wc -l <"$WORK/files") files"

# ---- lintian: no errors (warnings are printed, not failed) ----
lintian --fail-on error --tag-display-limit 0 "$DEB" >"$WORK/lintian.txt" 2>&1 ||
  fail "lintian reports errors: $(grep -E '^E:' "$WORK/lintian.txt" || tail -n 5 "$WORK/lintian.txt")"
ok "lintian: $(grep -c '^E:' "$WORK/lintian.txt") errors, $(grep -c '^W:' "$WORK/lintian.txt") warnings"

# ---- unpacked tree ----
R=$WORK/root
dpkg-deb -x "$DEB" "$R"
BIN=$R/usr/bin
for f in "$BIN/tovik" "$BIN/kalvo"; do [[ -x $f ]] || fail "$f is not executable"; done

for app in Tovik Kalvo; do
  out=$(desktop-file-validate "$R/usr/share/applications/$id.$app.desktop" 2>&1) || fail "desktop-file-validate $app: $out"
  grep -q '^Categories=Education;Utility;$' "$R/usr/share/applications/$id.$app.desktop" || fail "$app categories"
  grep -q '^Name\[zh_CN\]=' "$R/usr/share/applications/$id.$app.desktop" || fail "$app has no Chinese name"
  icon=$(sed -n 's/^Icon=//p' "$R/usr/share/applications/$id.$app.desktop")
  [[ -f $R/usr/share/icons/hicolor/256x256/apps/$icon.png ]] || fail "$app's icon $icon is not shipped"
  out=$(appstreamcli validate --no-net "$R/usr/share/metainfo/$id.$app.metainfo.xml" 2>&1) || fail "appstreamcli $app: $out"
done
[[ $(file -b "$R/usr/share/icons/hicolor/256x256/apps/$id.Kalvo.png") == *"256 x 256"* ]] || fail "Kalvo's 256 px icon"
ok "desktop entries, icons and AppStream files"

for m in tovik kalvo; do
  page=$R/usr/share/man/man1/$m.1.gz
  out=$(zcat "$page" | LC_ALL=C.UTF-8 groff -ww -man -z 2>&1) || true
  [[ -z $out ]] || fail "groff -ww on $m.1: $out"
  out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >"$WORK/$m.txt") || true
  [[ -z $out ]] || fail "man -l $m.1: $out"
  for word in --version XDG_CONFIG_HOME EXAMPLES; do
    grep -q -- "$word" "$WORK/$m.txt" || fail "$m.1 does not mention $word"
  done
done
ok "man pages render without warnings"

# ---- the installed programs, with a fresh HOME ----
# No session bus: a D-Bus autolaunch would leave a daemon and files in HOME.
export HOME=$WORK/home XDG_RUNTIME_DIR=$WORK/runtime QT_QPA_PLATFORM=xcb
export DBUS_SESSION_BUS_ADDRESS=unix:path=$WORK/no-bus
unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_PICTURES_DIR SESSION_MANAGER || true
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
touch "$WORK/stamp"

[[ $("$BIN/tovik" --version) == "tovik $VERSION" ]] || fail "tovik --version"
[[ $("$BIN/kalvo" --version) == "kalvo $VERSION" ]] || fail "kalvo --version"
rc=0
err=$("$BIN/tovik" --frobnicate 2>&1) || rc=$?
[[ $rc == 2 && $err == "tovik: unknown option: --frobnicate (see --help)" ]] || fail "tovik --frobnicate: $rc $err"
"$BIN/tovik" --print-settings >"$WORK/settings.txt" || fail "tovik --print-settings failed"
grep -qF "$HOME/.config/tovik/tovik.ini" "$WORK/settings.txt" || fail "settings path: $(head -n 3 "$WORK/settings.txt")"
"$BIN/tovik" --list-cameras --camera sim:count=2 >"$WORK/cameras.txt" || fail "tovik --list-cameras failed"
[[ $(cut -f1 "$WORK/cameras.txt" | tr '\n' ' ') == "0 1 " ]] || fail "camera list: $(cat "$WORK/cameras.txt")"
"$BIN/kalvo" --help >"$WORK/kalvo-help.txt"
grep -qF "$R/usr/share/kalvo/help/help.html" "$WORK/kalvo-help.txt" || fail "kalvo --help: $(cat "$WORK/kalvo-help.txt")"
ok "tovik --version, --print-settings, --list-cameras; kalvo --help"

# ---- under a private X server ----
start_xvfb 1024x768 || die "Xvfb did not start"

# Tovik confirms its exit (messages answered with OK) and saves its settings.
timeout 60 "$BIN/tovik" --camera sim:fps=0 --print-messages --commands-from-stdin \
  <<<"exit" >"$WORK/tovik.log" 2>&1 || fail "tovik did not exit cleanly: $(tail -n 5 "$WORK/tovik.log")"
grep -q '^\[Software\]' "$HOME/.config/tovik/tovik.ini" 2>/dev/null || fail "no settings in ~/.config/tovik/tovik.ini"

# Kalvo: the help button opens the shipped page (xdg-open stands in for the
# desktop's viewer), a save goes through the converter, exit writes the
# preferences.
mkdir -p "$WORK/stubs"
cat >"$WORK/stubs/xdg-open" <<EOF
#!/bin/sh
printf '%s\n' "\$1" >"$WORK/opened"
EOF
chmod +x "$WORK/stubs/xdg-open"
GEOMETRY=$WORK/kalvo.geometry
spawn kalvo env PATH="$WORK/stubs:$PATH" LD_PRELOAD="$TOOLS/libe2e_geometry_probe.so" \
  TK_GEOMETRY_FILE="$GEOMETRY" "$BIN/kalvo"
KALVO=${SPAWNED[-1]}
click() { # control [timeout]
  local xy
  xy=$("$TOOLS/e2e_driver" geometry "$GEOMETRY" "$1" --timeout "${2:-15}") || return 1
  # shellcheck disable=SC2086
  "$TOOLS/e2e_driver" click $xy
}
wait_for() { # seconds command...
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.2
  done
}
if click 57670 20 && wait_for 10 test -s "$WORK/opened"; then
  opened=$(cat "$WORK/opened")
  [[ $opened == "$R/usr/share/kalvo/help/help.html" && -f $opened ]] || fail "help opened '$opened'"
else
  fail "the help button opened nothing: $(tail -n 5 "$WORK/kalvo.log")"
fi
PICTURES=$HOME/Pictures/kalvo
jpg_saved() { compgen -G "$PICTURES/*.jpg" >/dev/null; }
if click 32777 && click filedialog.accept && wait_for 15 jpg_saved; then
  compgen -G "$PICTURES/*.bmp" >/dev/null && fail "a .bmp stayed beside the .jpg"
else
  fail "no .jpg in $PICTURES: $(ls -A "$PICTURES" 2>&1) $(tail -n 5 "$WORK/kalvo.log")"
fi
click 32824 || fail "no exit button"
wait_for 15 bash -c "! kill -0 $KALVO 2>/dev/null" || fail "Kalvo did not end"
grep -q '^\[PEN\]' "$HOME/.config/kalvo/kalvo.ini" 2>/dev/null || fail "no preferences in ~/.config/kalvo/kalvo.ini"
ok "installed programs under Xvfb"

# Nothing was written beside the programs, and in HOME only the settings, the
# preferences, the saved picture and Qt's own file-dialog state (and caches).
new=$(find "$R" -newer "$WORK/stamp" ! -type d)
[[ -z $new ]] || fail "written into the installed tree: $new"
(cd "$HOME" && find . -type f | sed 's|^\./||' | grep -v -e '^\.cache/' -e '^\.config/QtProject\.conf$' |
  sed 's|^Pictures/kalvo/[0-9-]*\.jpg$|Pictures/kalvo/DATE.jpg|' | sort) >"$WORK/home-files"
printf '%s\n' .config/kalvo/kalvo.ini .config/tovik/tovik.ini Pictures/kalvo/DATE.jpg | sort >"$WORK/home-expected"
diff -u "$WORK/home-expected" "$WORK/home-files" >&2 || fail "files in HOME differ (- expected, + found)"
ok "files written: settings in ~/.config, the picture in ~/Pictures/kalvo, nothing beside the programs"

((FAILED == 0)) || { echo "$FAILED checks failed" >&2; exit 1; }
echo "package test passed"
