#!/usr/bin/env bash
# Writes the seed inputs of each fuzz target into fuzz/corpus/<target>/seed-*.
# The targets read their inputs with FuzzedDataProvider: strings from the
# front (a backslash followed by another character ends one), numbers and
# choices from the back. Findings are kept beside the seeds as regress-*.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
seed() { mkdir -p "$1"; printf "$3" >"$1/seed-$2"; }

# IniFile: a settings file, a preferences file, a file with odd lines.
seed fuzz_ini tovik '\xef\xbb\xbf[Software]\r\nAmp=180\r\nArea=5\r\nRunExpoTime=-10\r\n[Camera]\r\ncamGain=0\r\n[CalibParams]\r\nSmoothWndLen=7\r\n\\x\x07\x80\x01\x02\x03\x04\x05\x06\x07\x08\x01\x00'
seed fuzz_ini kalvo '[PEN]\nCOLOR=255\nTYPE=0\nL=3\n[POSITION]\nCX=-20\nCY=-50\n\\x\x11\x22\x33\x44\x55\x66\x77\x88\x99\x01\x01'
seed fuzz_ini odd ' ; comment\n[ S ]\n a = "quoted" \nkey without value\n[s]\na=2\n=empty\n[unclosed\nlast=1\\x\x03\x01\x02\x00\x01'

# Archive: bit i of the first two bytes makes object i a text.
# Two segments; a text in the wide form; a text in the one-byte form.
seed fuzz_archive segments '\x00\x00\x01\x00\x00\x00\x02\x00\x00\x00\x03\x00\x00\x00\x04\x00\x00\x00\xff\x00\x00\x00\x03\x00\x00\x00\xff\xff\xff\xff\x00\x00\x00\x80\x10\x00\x00\x00\x20\x00\x00\x00\x00\x00\xff\x00\x06\x00\x00\x00'
seed fuzz_archive wide '\x01\x00\xff\xfe\xff\x02H\x00i\x00\xff\xfe\xff\x02\x8b\x5b\x53\x4f\x0a\x00\x00\x00\x14\x00\x00\x00\xc8\x00\x00\x00'
seed fuzz_archive narrow '\x03\x00\x04\xcb\xce\xcc\xe5\x00\x05\x00\x00\x00\x06\x00\x00\x00\x64\x00\x00\x00\xff\xfe\xff\xff\x03\x00a\x00b\x00c\x00\xff\xfe\xff\x00\x01\x00\x00\x00\x02\x00\x00\x00\x03\x00\x00\x00'

# Bitmap writer: pixel bytes, then (from the back) fault, format, size, depth.
seed fuzz_bmp small '\x10\x20\x30\x40\x50\x60\x70\x80\x90\xa0\xb0\xc0\x00\x01\x05\x00\x07\x00\x01\x00'
seed fuzz_bmp padded '\xff\x00\x00\x00\xff\x00\x00\x00\xff\x01\x01\x03\x00\x03\x00\x05\x00'
seed fuzz_bmp fault '\x01\x02\x03\x04\x05\x06\x07\x08\x01\x30\x00\x01\x00\x02\x00\x08\x00\x00\x01'

# Simulator: the last byte picks options (0), a script (1) or control bytes (2).
seed fuzz_sim options 'scene=blank,scenesize=1280x800,pose=h:0.8,0.05,0.1,-0.05,0.8,0.1,0,0,1,count=2,fps=30,queue=4,noise=2,seed=7,penradius=5,refuse=gain+hue,missing=exposure,sizes=640x480+320x240,size=320x240\x00'
seed fuzz_sim screen 'screen,pose=mirrored,display=:1,control=/tmp/c,script=s.pen,log=l.txt,missing=exposure+controls\x00'
seed fuzz_sim script '# glide\nmove 10 20\nlit 1\npath 0 0 100.5 -3e2 500\nwait 10\r\nf13 1\nunplug\nplug\n\x01'
seed fuzz_sim control 'move 1 2\nlit 1\nwait 5\npath 1 2 3 4 0\nlit 0\nf13 0\nbogus\n\\x\x05\x03\x07\x02'

# V4L2 device answers, in the order the back end asks: a status byte (0: the
# call works, 0x80 and up: it fails) and the answer's fields as 32-bit
# little-endian words; the input starts again when it runs out.
b() { for v; do printf '\\x%02x' "$v"; done; }
w() { for v; do b $((v & 255)) $((v >> 8 & 255)) $((v >> 16 & 255)) $((v >> 24 & 255)); done; }
ok() { b 0; w "$@"; }
no() { b 0x80; }
YUYV=0x56595559 MJPG=0x47504a4d
# /dev/video0 answering like the C270 listing of tests/data/v4l2, in short:
# capabilities, the present format, YUYV at 640x480 (30 and 15 fps) and
# 320x240 (30 fps), MJPG over a stepwise range without intervals.
formats() {
  ok 640 480 $YUYV
  ok $YUYV
  ok 1 640 480; ok 1 1 30; ok 1 1 15; no
  ok 1 320 240; ok 1 1 30; no
  no
  ok $MJPG; ok 3 1280 1920 16 720 1080 8; no; no; no
  no
}
node0() { b 1 0 0; ok 0x84a00001 0x04200001; b 1; b 0; }
c270="$(node0)$(formats)$(ok 640 480 $YUYV)"
# Opening 640x480: the format, four buffers, the stream; then brightness and
# the power-line menu.
buffers="$(ok; b 0; w 1280)$(ok)$(b 0 4)$(for i in 0 1 2 3; do ok 614400 $((i * 614400)); ok; done)$(ok)"
ctrls="$(ok 0x00980900; b 1; w 0 255 1 128 0; b 2)$(ok 128)"
ctrls+="$(ok 0x18; b 3; w 0 2 1 1 0; b 3)$(ok 1)$(ok 0)$(ok 1)$(ok 2)$(no)"
seed fuzz_v4l2 c270 "$c270$(node0)$(formats)$buffers$ctrls$(ok)"
# Absurd answers: empty and enormous sizes, a range holding everything, a
# present size of 100000x100000, a frame interval of a nanosecond, controls
# upside down, a menu of two billion entries.
absurd="$(node0)$(ok 100000 100000 $YUYV)$(ok $YUYV)$(ok 1 0 0)$(ok 1 0xffffffff 0xffffffff)"
absurd+="$(ok 1 640 480; ok 1 1 1000000000; no)$(ok 2 1 0xffffffff 0 1 0xffffffff 0)$(no)"
absurd+="$(ok 640 480 $YUYV)"
seed fuzz_v4l2 absurd "$absurd$(node0)$(ok 640 480 $YUYV)$(ok $YUYV)$(ok 1 640 480; ok 1 1 30; no)$(no)$buffers$(ok 0x00980901; b 1; w 255 0 1 32 0; b 1)$(ok 0x17; b 3; w 0 0x7fffffff 1 1 0; b 2)$(ok 1)$(ok 7)"
# Busy and forbidden nodes beside a working one; a driver that keeps
# interrupting its answers.
seed fuzz_v4l2 nodes "$(b 3 0 1 2 0x82 0x81 0)$(ok 0x84a00001 0x04200001; b 5)$(b 0)$(b 0x82 0x82 0x82 0x82)$(ok 640 480 $YUYV)$(ok $YUYV; ok 1 640 480; no; no; no; no)"
