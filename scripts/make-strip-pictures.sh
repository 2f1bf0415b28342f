#!/usr/bin/env bash
# Draws the five pictures of the promotional strip (170 x 100 each) into
# resources/strip/. Plain coloured cards with a title and a line of small
# print; run again after changing a text, then commit the pictures.
# Needs ImageMagick and the Noto CJK fonts (fonts-noto-cjk).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out="$here/resources/strip"
mkdir -p "$out"

bold="Noto-Sans-CJK-SC-Bold"
regular="Noto-Sans-CJK-SC"

# card FILE BACKGROUND ACCENT TITLE SMALLPRINT
card() {
    local file=$1 bg=$2 accent=$3 title=$4 small=$5
    local format=()
    # JPEG without metadata and at a fixed quality, so a re-run gives the same bytes.
    case "$file" in
    *.jpg) format=(-type TrueColor -strip -quality 92 -sampling-factor 1x1) ;;
    *.png) format=(-depth 8 -strip -define png:exclude-chunks=date,time) ;;
    esac
    convert -size 170x100 "xc:$bg" \
        -fill "$accent" -draw "rectangle 0,0 169,5" \
        -fill none -stroke "$accent" -strokewidth 1 -draw "rectangle 0,0 169,99" -stroke none \
        -gravity center \
        -font "$bold" -pointsize 21 -fill "$accent" -annotate +0-8 "$title" \
        -font "$regular" -pointsize 12 -fill '#404040' -annotate +0+24 "$small" \
        "${format[@]}" "$out/$file"
}

card picKfw.png    '#fff4e0' '#c0392b' '微交易炒股'   '以小博大 · 行情与交易'
card picamazon.jpg '#eef6ff' '#1f5fa8' '网上购物'     '图书 · 电器 · 日用百货'
card pictaobao.png '#f1f8ec' '#2e7d32' '小说排行榜'   '看看大家都在读什么'
card picbaidu.jpg  '#f3efff' '#5b3fa8' '网页搜索'     '输入关键词，一搜便知'
card picmore.jpg   '#f4f4f4' '#444444' '自定义链接'   '十六个常用网址，随你设置'
