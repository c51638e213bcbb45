#!/usr/bin/env bash
# Packs the help page and its pictures into one MIME HTML file (help.mht),
# the single-file form the Windows shell opens in the browser.
#   make-mht.sh <help folder with help.html> <out.mht>
set -euo pipefail
dir=$1 out=$2
boundary="----=_TovikKalvo_help"
part() { # content-type location file
  printf -- '--%s\r\nContent-Type: %s\r\nContent-Transfer-Encoding: base64\r\nContent-Location: %s\r\n\r\n' \
    "$boundary" "$1" "$2"
  base64 -w 76 "$3" | sed 's/$/\r/'
  printf '\r\n'
}
{
  printf 'MIME-Version: 1.0\r\nContent-Type: multipart/related; boundary="%s"; type="text/html"\r\n\r\n' "$boundary"
  part 'text/html; charset="utf-8"' "file:///help.html" "$dir/help.html"
  (cd "$dir" && find . -type f ! -name help.html | sort) | while read -r f; do
    f=${f#./}
    case "$f" in
      *.png) type=image/png ;;
      *.jpg|*.jpeg) type=image/jpeg ;;
      *.gif) type=image/gif ;;
      *.css) type=text/css ;;
      *) type=application/octet-stream ;;
    esac
    part "$type" "file:///$f" "$dir/$f"
  done
  printf -- '--%s--\r\n' "$boundary"
} >"$out"
