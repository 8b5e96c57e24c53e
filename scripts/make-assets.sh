#!/usr/bin/env bash
# Draws the program's own pictures and icon with ImageMagick into the folder given as the
# only argument. The build runs it and compiles the outputs in as resources, so nothing
# binary lives in the repository. Same inputs, same pictures: random patterns use fixed seeds
# and the PNG time chunks are left out.
set -euo pipefail

out=${1:?usage: make-assets.sh OUTPUT_FOLDER}
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

font=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc
if [[ ! -e $font ]]; then
  echo "make-assets: $font is missing (scripts/install-deps.sh installs it)" >&2
  exit 1
fi
im() { convert "$@"; }
png=(-depth 8 -strip -define png:exclude-chunks=date,time)

blue='#1f6fd6'
deep='#0b4aa2'
accent='#ff8a1f'

# A square code-like pattern of modules with the three corner marks; not a real code.
code_pattern() {  # seed size file
  local seed=$1 size=$2 file=$3 n=29 m=$(( $2 / 29 ))
  local finder="rectangle 0,0 6,6"
  im -size ${n}x${n} xc:white -seed "$seed" +noise Random -colorspace gray -threshold 55% \
     -fill white -draw "rectangle 0,0 7,7" -draw "rectangle $((n-8)),0 $((n-1)),7" \
     -draw "rectangle 0,$((n-8)) 7,$((n-1))" \
     -fill black -draw "$finder" -draw "rectangle $((n-7)),0 $((n-1)),6" \
     -draw "rectangle 0,$((n-7)) 6,$((n-1))" \
     -fill white -draw "rectangle 1,1 5,5" -draw "rectangle $((n-6)),1 $((n-2)),5" \
     -draw "rectangle 1,$((n-6)) 5,$((n-2))" \
     -fill black -draw "rectangle 2,2 4,4" -draw "rectangle $((n-5)),2 $((n-3)),4" \
     -draw "rectangle 2,$((n-5)) 4,$((n-3))" \
     -filter point -resize $((n * m))x$((n * m)) -background white -gravity center \
     -extent "${size}x${size}" "$file"
}

# Icon: a parcel on a blue tile with an orange vane, drawn at 144 and reduced.
im -size 144x144 xc:none \
   -fill "$blue" -draw "roundrectangle 4,4 139,139 26,26" \
   -fill '#ffffff' -draw "polygon 72,30 114,50 72,70 30,50" \
   -fill '#d8e6fa' -draw "polygon 30,56 69,76 69,120 30,100" \
   -fill '#b4cdf2' -draw "polygon 75,76 114,56 114,100 75,120" \
   -fill "$accent" -draw "polygon 52,40 94,60 94,70 52,50" \
   "$tmp/icon.png"
im "$tmp/icon.png" -define icon:auto-resize=144,64,48,32,24,16 "$out/parcelvane.ico"

# Login background, 600 x 300: light, with the word mark right of the login fields.
im -size 600x300 gradient:'#dbe9fb-#ffffff' \
   -fill '#c9dcf7' -draw "circle 540,40 640,40" -fill '#e3eefc' -draw "circle 330,290 420,290" \
   -font "$font" -fill "$deep" -pointsize 38 -annotate +318+92 'Parcelvane' \
   -fill '#4a6a96' -pointsize 17 -annotate +322+126 '发货前，先查一查地址' \
   -fill "$accent" -draw "rectangle 322,140 372,144" \
   "${png[@]}" "$out/login_background.png"

# Main background, 750 x 1024: quiet, so labels over it stay legible.
im -size 750x1024 gradient:'#e8f0fb-#fbfdff' \
   -fill '#dfe9f8' -draw "circle 700,980 900,980" \
   "${png[@]}" "$out/main_background.png"

# Banner, 1920 x 769.
im -size 1920x769 gradient:"$blue-$deep" \
   -fill '#2a7be0' -draw "circle 1650,160 1980,160" -fill '#0e56b8' -draw "circle 1500,760 1760,760" \
   -fill '#ffffff' -draw "polygon 1480,250 1640,325 1480,400 1320,325" \
   -fill '#d8e6fa' -draw "polygon 1320,345 1470,420 1470,590 1320,515" \
   -fill '#b4cdf2' -draw "polygon 1490,420 1640,345 1640,515 1490,590" \
   -fill "$accent" -draw "polygon 1400,285 1560,360 1560,395 1400,320" \
   -font "$font" -fill '#ffffff' -pointsize 170 -annotate +150+350 'Parcelvane' \
   -pointsize 72 -annotate +160+500 '快递地址筛查  一查便知' \
   -fill '#cfe0f7' -pointsize 48 -annotate +164+610 '盲区停发 · 超区加收 · 虚假地址 · 偏远村组' \
   "${png[@]}" "$out/banner.png"

# Contact cards, 500 x 700: the QQ card as PNG, the WeChat card as JPEG.
contact_card() {  # title colour seed file
  code_pattern "$3" 372 "$tmp/code_$3.png"
  im -size 500x700 xc:'#ffffff' \
     -fill "$2" -draw "rectangle 0,0 499,110" \
     -font "$font" -fill '#ffffff' -pointsize 44 -gravity north -annotate +0+28 "$1" \
     "$tmp/code_$3.png" -gravity north -geometry +0+150 -composite \
     -fill '#333333' -pointsize 28 -gravity south -annotate +0+70 '扫一扫，联系客服' \
     -fill '#888888' -pointsize 20 -annotate +0+32 'Parcelvane' \
     "$4"
}
contact_card 'QQ客服' "$blue" 17 "$tmp/qq.png"
im "$tmp/qq.png" "${png[@]}" "$out/contact_qq.png"
contact_card '微信客服' '#1aad19' 23 "$tmp/wechat.png"
im "$tmp/wechat.png" -strip -quality 90 "$out/contact_wechat.jpg"

# Mini-program picture, 430 x 490 JPEG: a round code and its name.
code_pattern 31 340 "$tmp/mini.png"
im -size 340x340 xc:black -fill white -draw "circle 170,170 170,0" "$tmp/mask.png"
im "$tmp/mini.png" "$tmp/mask.png" -alpha off -compose copy_opacity -composite \
   "$tmp/mini_round.png"
im -size 430x490 xc:'#ffffff' \
   -fill '#1aad19' -draw "circle 215,195 215,15" -fill '#ffffff' -draw "circle 215,195 215,25" \
   "$tmp/mini_round.png" -gravity north -geometry +0+25 -composite \
   -font "$font" -fill '#333333' -pointsize 30 -gravity south -annotate +0+40 'Parcelvane助手' \
   -strip -quality 90 "$out/mini_program.jpg"

echo "make-assets: pictures in $out"
