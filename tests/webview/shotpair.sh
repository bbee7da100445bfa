#!/usr/bin/env bash
# shotpair.sh NATIVE WEB CROPS [--web-offset DX,DY] [--threshold T] [--expect-over NAME]
# Compares a native twin's picture with its web view's, control by control.
# Each line of CROPS ("NAME LEFT TOP WIDTH HEIGHT", pixels of the native
# picture; # starts a comment) is cut out of both pictures (in the web one
# moved by DX,DY) and scored by its structural dissimilarity:
#   1. both cuts are narrowed to the native cut's content (what differs from
#      its corner colour) and 4 pixels round it, so a small icon in a wide bar
#      weighs as much as a button's frame;
#   2. each becomes a map of its outlines (Sobel gradient magnitude of the
#      grey image), blurred by 5 pixels, so that frames, glyphs and icons
#      count and flat faces do not, and outlines a pixel or two apart still meet;
#   3. the score is the mean DSSIM, (1 - SSIM) / 2, of the two maps (SSIM with
#      a Gaussian window of 4 pixels): 0 for the same look, 0.5 for unrelated.
# ImageMagick 6 offers no SSIM metric of its own (compare -list metric), so it
# is computed here from blurred products of the two images.
# A crop line may end in the text its control shows (a label's caption): the
# web cut's text is then scored against that text rendered in the face the
# page's sans-serif aliases name first (kTextFace), both narrowed to their ink
# and the render sized to the web text's box, by the same outline DSSIM with
# finer outlines and window ("NAME text: SCORE", threshold kTextThreshold).
# The native picture cannot judge the face: Wine's own sans face differs from
# any web face more (0.24 against the expected face) than a serif face does
# from it, so a serif label scored close to the native one.
# Prints one line per crop, "NAME: SCORE". A crop is clipped to what lies in
# both pictures; a crop with nothing left fails.
#   Without --expect-over: exit 0 when every crop scores at most the threshold.
#   --expect-over NAME (a test that plants a fault in the web picture): exit 0
#   when crop NAME (or its text) scores over its threshold.
set -euo pipefail
# The threshold: above every honest pair of the twin scenes (0.33 at most),
# below the planted faults it is proven with (0.37 at least); the measured
# figures are listed in tests/webview/host_tests.cmake beside the shot tests.
threshold=0.345
native=$1 web=$2 crops=$3; shift 3
offset=0,0 expect_over=""
while [ $# -gt 0 ]; do
  case $1 in
    --web-offset) offset=$2; shift 2 ;;
    --threshold) threshold=$2; shift 2 ;;
    --expect-over) expect_over=$2; shift 2 ;;
    *) echo "shotpair.sh: unknown option $1"; exit 2 ;;
  esac
done
dx=${offset%,*} dy=${offset#*,}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
readonly kContentFuzz=12% kContentMargin=4 kOutlineBlur=5 kSsimWindow=4
# The text score: the honest label 0.079, the label in a serif face 0.217.
readonly kTextFace=Liberation-Sans kTextPoints=40 kTextBlur=1 kTextWindow=2 kTextThreshold=0.14

size() { identify -format '%w %h\n' "$1"; }
read -r nw nh < <(size "$native")
read -r ww wh < <(size "$web")
max() { echo $(($1 > $2 ? $1 : $2)); }
min() { echo $(($1 < $2 ? $1 : $2)); }
# Whether SCORE is above the threshold, or the one given (decimals).
over() { awk -v s="$1" -v t="${2:-$threshold}" 'BEGIN { exit !(s > t) }'; }

# The content box of a picture (WxH+X+Y): what differs from its corner
# colour, grown by the margin and kept inside the picture; nothing when the
# picture is all one colour (the control was not drawn there).
content_box() {
  local w h g x y cw ch
  read -r w h < <(size "$1")
  g=$(convert "$1" -colorspace Gray -fuzz $kContentFuzz -format '%@' info: 2>/dev/null)
  cw=${g%%x*} g=${g#*x}; ch=${g%%+*} g=${g#*+}; x=${g%%+*} y=${g#*+}
  [ "$cw" -gt 0 ] && [ "$ch" -gt 0 ] || return 0
  local x0 y0 x1 y1
  x0=$(max $((x - kContentMargin)) 0) y0=$(max $((y - kContentMargin)) 0)
  x1=$(min $((x + cw + kContentMargin)) "$w") y1=$(min $((y + ch + kContentMargin)) "$h")
  echo "$((x1 - x0))x$((y1 - y0))+$x0+$y0"
}

# A picture's outlines: the largest Sobel gradient of its grey image, blurred
# (by kOutlineBlur, or the radius given).
outlines() {
  convert "$1" -alpha off -colorspace Gray -define convolve:scale='50%!' -bias 50% \
    -define morphology:compose=Lighten -morphology Convolve 'Sobel:>' -solarize 50% -level 50,0% \
    +bias -blur 0x"${3:-$kOutlineBlur}" "$2"
}

# The mean DSSIM of two grey pictures of one size: SSIM's local means,
# variances and covariance from Gaussian-blurred pictures and products
# (constants for values from 0 to 1: (0.01)^2 and (0.03)^2); the window
# kSsimWindow or the one given.
dssim() {
  convert "$1" "$1" -compose Multiply -composite "$tmp/aa.miff"
  convert "$2" "$2" -compose Multiply -composite "$tmp/bb.miff"
  convert "$1" "$2" -compose Multiply -composite "$tmp/ab.miff"
  convert "$1" "$2" "$tmp/aa.miff" "$tmp/bb.miff" "$tmp/ab.miff" -virtual-pixel edge -gaussian-blur 0x"${3:-$kSsimWindow}" \
    -fx 'ma=u[0]; mb=u[1]; va=u[2]-ma*ma; vb=u[3]-mb*mb; cab=u[4]-ma*mb;
         (1 - (2*ma*mb + 0.0001) * (2*cab + 0.0009) / ((ma*ma + mb*mb + 0.0001) * (va + vb + 0.0009))) / 2' \
    -format '%[fx:mean]\n' info:
}

# The text score of a web cut (see above); nothing when the cut shows no ink.
text_score() {
  local g
  convert "$1" -colorspace Gray -fuzz $kContentFuzz -trim +repage "$tmp/wt.png" 2>/dev/null
  g=$(identify -format '%wx%h' "$tmp/wt.png")
  case $g in 1x1|0x*|*x0) return 0 ;; esac
  # The list is read whole before it is searched: grep -q ends at the first
  # match, and a convert still writing then dies of SIGPIPE, which pipefail
  # took for a missing face (it happened on a busy machine).
  local fonts
  fonts=$(convert -list font)
  grep -q "Font: $kTextFace\$" <<<"$fonts" || { echo "no face $kTextFace"; return 0; }
  convert -background white -fill black -font $kTextFace -pointsize $kTextPoints label:"$2" -trim +repage \
    -resize "$g!" "$tmp/rt.png"
  outlines "$tmp/wt.png" "$tmp/wto.miff" $kTextBlur
  outlines "$tmp/rt.png" "$tmp/rto.miff" $kTextBlur
  dssim "$tmp/wto.miff" "$tmp/rto.miff" $kTextWindow
}

# Reports SCORE of LABEL against threshold T; a fault expected in NAME is seen
# when it is over, an honest pair fails.
judge() {
  local label=$1 score=$2 t=$3
  case $score in ''|*[!0-9.e+-]*) echo "$label: no score ($score)"; bad=1; return ;; esac
  if over "$score" "$t"; then
    echo "$label: $score (over $t)"
    [ "$name" = "$expect_over" ] && result=over
    [ -z "$expect_over" ] && bad=1
  else
    echo "$label: $score"
  fi
  return 0
}

bad=0 seen=0 result=""
while read -r name left top width height text; do
  case $name in ''|'#'*) continue ;; esac
  seen=$((seen + 1))
  # Clipped to both pictures: the native one at its place, the web one moved.
  x0=$(max "$left" $((-dx))) y0=$(max "$top" $((-dy)))
  x1=$(min $((left + width)) "$(min "$nw" $((ww - dx)))") y1=$(min $((top + height)) "$(min "$nh" $((wh - dy)))")
  x0=$(max "$x0" 0) y0=$(max "$y0" 0)
  if [ "$x1" -le "$x0" ] || [ "$y1" -le "$y0" ]; then
    echo "$name: ${width}x${height}+$left+$top lies outside the pictures"; bad=1; continue
  fi
  cut="$((x1 - x0))x$((y1 - y0))"
  convert "$native" -crop "$cut+$x0+$y0" +repage "$tmp/n.png"
  convert "$web" -crop "$cut+$((x0 + dx))+$((y0 + dy))" +repage "$tmp/w.png"
  box=$(content_box "$tmp/n.png")
  [ -n "$box" ] || { echo "$name: the native picture shows nothing there"; bad=1; continue; }
  convert "$tmp/n.png" -crop "$box" +repage "$tmp/nc.png"
  convert "$tmp/w.png" -crop "$box" +repage "$tmp/wc.png"
  outlines "$tmp/nc.png" "$tmp/no.miff"
  outlines "$tmp/wc.png" "$tmp/wo.miff"
  judge "$name" "$(dssim "$tmp/no.miff" "$tmp/wo.miff")" "$threshold"
  if [ -n "$text" ]; then judge "$name text" "$(text_score "$tmp/w.png" "$text")" $kTextThreshold; fi
done <"$crops"
[ "$seen" -gt 0 ] || { echo "shotpair.sh: no crops in $crops"; exit 2; }
[ "$bad" = 0 ] || exit 1
if [ -n "$expect_over" ]; then
  [ "$result" = over ] || { echo "the fault planted in $expect_over was not seen"; exit 1; }
  echo "the fault planted in $expect_over was seen"
fi
