#!/bin/sh
# Builds the pictures the list/tree/image-list tests embed, with ImageMagick:
# list_tree_strip.bmp, a 24-bit strip of three 16x16 images (red, green,
# blue), each with a 4x4 magenta square in its top-left corner (the colour
# key of the masking tests); list_tree_icon.ico, a 16x16 icon whose left
# half is RGB(0, 128, 255) and whose right half is transparent.
set -e
cd "$(dirname "$0")"
convert -size 48x16 xc:'rgb(255,0,0)' \
    -fill 'rgb(0,255,0)' -draw 'rectangle 16,0 31,15' \
    -fill 'rgb(0,0,255)' -draw 'rectangle 32,0 47,15' \
    -fill 'rgb(255,0,255)' -draw 'rectangle 0,0 3,3' -draw 'rectangle 16,0 19,3' \
    -draw 'rectangle 32,0 35,3' \
    -type TrueColor BMP3:list_tree_strip.bmp
convert -size 16x16 xc:none -fill 'rgb(0,128,255)' -draw 'rectangle 0,0 7,15' list_tree_icon.ico
