#!/usr/bin/env bash
# Draws the program's pictures (res/*.png, 512 x 512) and its icon (res/orvane.ico)
# with ImageMagick. The results are committed; run this only to redraw them.
set -euo pipefail
cd "$(dirname "$0")/../res"
blue='#0277BD'; green='#2E7D32'; red='#C62828'

# 101: a download arrow into a tray, for the welcome and installer-type download pages.
convert -size 512x512 xc:none -fill "$blue" -draw 'roundrectangle 16,16 496,496 96,96' \
  -fill white -draw 'rectangle 226,96 286,300' -draw 'polygon 156,270 356,270 256,380' \
  -draw 'rectangle 136,400 376,430' -strip PNG32:welcome.png
# 102: a check mark, for the finish pages.
convert -size 512x512 xc:none -fill "$green" -draw 'circle 256,256 256,24' \
  -stroke white -strokewidth 48 -fill none -draw 'polyline 140,266 222,346 378,176' -strip PNG32:finish.png
# 103: a cross, for the error page.
convert -size 512x512 xc:none -fill "$red" -draw 'circle 256,256 256,24' \
  -stroke white -strokewidth 48 -draw 'line 166,166 346,346' -draw 'line 346,166 166,346' -strip PNG32:error.png
# The icon: the download picture at the usual icon sizes.
convert welcome.png -define icon:auto-resize=256,48,32,16 orvane.ico
