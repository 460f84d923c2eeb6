#!/bin/sh
# Builds the viewer's art in src/res/art/ with ImageMagick (convert) from the
# public-domain Tango icons (Debian package tango-icon-theme); the results are
# kept in the repository, so a build needs neither. Run it again after a change.
#
#   main_toolbar.bmp     21000  8 x 16x16: previous, next, zoom out, zoom in,
#                               thumbnails, assign sound, draw notes, contrast
#   video_toolbar.bmp      187  12 x 16x16: play, stop, first, previous, next,
#                               last frame, thumbnails, zoom in, zoom out,
#                               contrast, pause, last frame (enabled variant)
#   disabled_buttons.bmp 17451  7 x 16x16: grey play ... thumbnails
#   splash.bmp            8801  240x320 splash screen, 256 colours (a third of
#                               the size of 24 bits, for the same picture)
#   kestrava.ico           101  16x16 and 32x32
#
# Toolbar strips are 24-bit BMPs on light grey RGB(192,192,192), the colour the
# toolbar draws as transparent (it is also the button face, so the icons'
# soft edges blend in). The disabled strip goes into an image list masked by
# magenta RGB(255,0,255): its edges are cut hard instead.
set -e
cd "$(dirname "$0")"
tango=${TANGO:-/usr/share/icons/Tango/16x16}
[ -d "$tango" ] || { echo "tango-icon-theme is not installed ($tango)" >&2; exit 1; }
mkdir -p art
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

face='rgb(192,192,192)'
outline='#2e3436'

# ---- the 16x16 pictures, as PNGs with alpha ------------------------------------------
cp "$tango/actions/go-previous.png" "$work/previous.png"
cp "$tango/actions/go-next.png" "$work/next.png"
cp "$tango/status/audio-volume-high.png" "$work/sound.png"
cp "$tango/apps/accessories-text-editor.png" "$work/draw.png"

# The playback glyphs are drawn dark (Tango's media icons are pale, made for
# dark panels, and vanish on the light grey bar). glyph NAME COLOUR DRAW...
glyph() {
    name=$1
    colour=$2
    shift 2
    convert -size 16x16 xc:none -fill "$colour" -stroke none "$@" "$work/$name.png"
}
dark="$outline"
glyph play '#4e9a06' -stroke '#2c5c03' -draw 'polygon 4,2 13,7.5 4,13'
glyph stop "$dark" -draw 'rectangle 3,3 12,12'
glyph pause "$dark" -draw 'rectangle 3,3 6,12' -draw 'rectangle 9,3 12,12'
glyph first "$dark" -draw 'rectangle 1,3 2,12' -draw 'polygon 8,3 3,7.5 8,12' \
    -draw 'polygon 14,3 9,7.5 14,12'
glyph prevframe "$dark" -draw 'polygon 9,3 3,7.5 9,12' -draw 'rectangle 11,3 12,12'
glyph nextframe "$dark" -draw 'rectangle 3,3 4,12' -draw 'polygon 6,3 12,7.5 6,12'
glyph last "$dark" -draw 'polygon 1,3 6,7.5 1,12' -draw 'polygon 7,3 12,7.5 7,12' \
    -draw 'rectangle 13,3 14,12'
# The last-frame button while it may be pressed: Tango blue.
glyph lastlit '#3465a4' -draw 'polygon 1,3 6,7.5 1,12' -draw 'polygon 7,3 12,7.5 7,12' \
    -draw 'rectangle 13,3 14,12'

# Zoom: a magnifier with a plus or minus in its glass.
magnifier() {
    convert -size 16x16 xc:none \
        -stroke '#555753' -strokewidth 3 -draw 'line 10,10 14,14' \
        -fill '#dbe7f4' -stroke "$outline" -strokewidth 1.5 -draw 'circle 6.5,6.5 6.5,1.5' \
        -fill '#204a87' -stroke none "$@"
}
magnifier -draw 'rectangle 4,6 9,7' -draw 'rectangle 6,4 7,9' "$work/zoomin.png"
magnifier -draw 'rectangle 4,6 9,7' "$work/zoomout.png"

# Thumbnails: four small pictures in a grid.
convert -size 16x16 xc:none -fill '#729fcf' -stroke '#204a87' -strokewidth 1 \
    -draw 'rectangle 1,1 6,6' -draw 'rectangle 9,1 14,6' \
    -draw 'rectangle 1,9 6,14' -draw 'rectangle 9,9 14,14' \
    -fill '#4e9a06' -stroke none \
    -draw 'rectangle 2,5 5,5' -draw 'rectangle 10,5 13,5' \
    -draw 'rectangle 2,13 5,13' -draw 'rectangle 10,13 13,13' \
    "$work/thumbs.png"

# Contrast/brightness: a disc half black, half white.
convert -size 16x16 xc:none \
    -fill white -stroke "$outline" -strokewidth 1 -draw 'circle 7.5,7.5 7.5,1.5' \
    -fill black -stroke none -draw 'path "M 7.5,2 A 5.5,5.5 0 0,0 7.5,13 Z"' \
    "$work/contrast.png"

# ---- strips --------------------------------------------------------------------------
# strip OUTPUT NAME...: the named pictures side by side on the face colour.
strip() {
    out=$1
    shift
    files=""
    for n in "$@"; do files="$files $work/$n.png"; done
    # shellcheck disable=SC2086
    convert $files +append -background "$face" -alpha remove -alpha off \
        -type TrueColor "BMP3:art/$out"
}

strip main_toolbar.bmp previous next zoomout zoomin thumbs sound draw contrast
strip video_toolbar.bmp play stop first prevframe nextframe last thumbs zoomin zoomout \
    contrast pause lastlit

# Disabled: washed-out grey on the face colour; nearly transparent pixels become
# the magenta mask colour.
for n in play stop first prevframe nextframe last thumbs; do
    convert "$work/$n.png" -colorspace Gray -fill white -colorize 35% "$work/grey-$n.png"
    convert "$work/grey-$n.png" -background "$face" -alpha remove -alpha off "$work/flat-$n.png"
    convert "$work/$n.png" -alpha extract -threshold 30% "$work/mask-$n.png"
    convert -size 16x16 xc:'rgb(255,0,255)' "$work/flat-$n.png" "$work/mask-$n.png" \
        -composite "$work/dis-$n.png"
done
convert "$work/dis-play.png" "$work/dis-stop.png" "$work/dis-first.png" \
    "$work/dis-prevframe.png" "$work/dis-nextframe.png" "$work/dis-last.png" \
    "$work/dis-thumbs.png" +append -type TrueColor BMP3:art/disabled_buttons.bmp

# ---- the splash screen ---------------------------------------------------------------
# A synthetic head phantom (ellipses in the manner of Shepp and Logan), as a CT
# slice would look, under the product name. No patient data.
convert -seed 7 -size 200x200 xc:black \
    -fill 'gray(88%)' -draw 'ellipse 100,100 69,92 0,360' \
    -fill 'gray(22%)' -draw 'ellipse 100,102 62,86 0,360' \
    -fill 'gray(8%)' -draw 'translate 122,100 rotate -18 ellipse 0,0 11,31 0,360' \
    -fill 'gray(8%)' -draw 'translate 78,100 rotate 18 ellipse 0,0 16,41 0,360' \
    -fill 'gray(34%)' -draw 'ellipse 100,65 21,25 0,360' \
    -fill 'gray(34%)' -draw 'ellipse 100,146 5,5 0,360' \
    -fill 'gray(34%)' -draw 'ellipse 100,54 5,5 0,360' \
    -fill 'gray(34%)' -draw 'ellipse 92,174 5,3 0,360' \
    -fill 'gray(34%)' -draw 'ellipse 100,175 2,2 0,360' \
    -fill 'gray(34%)' -draw 'ellipse 108,174 2,3 0,360' \
    -blur 0x0.8 -attenuate 0.15 +noise Gaussian -colorspace Gray "$work/phantom.png"
convert -size 240x320 gradient:'#0b1f3a-#000000' \
    "$work/phantom.png" -geometry +20+88 -compose Lighten -composite -compose Over \
    -stroke '#729fcf' -strokewidth 1 -fill none -draw 'circle 120,188 120,84' \
    -fill white -stroke none -font DejaVu-Sans-Bold -pointsize 22 \
    -gravity north -annotate +0+22 'Halvoric Kestrava' \
    -fill '#babdb6' -font DejaVu-Sans -pointsize 12 -annotate +0+54 'Medical image viewer' \
    -fill '#888a85' -pointsize 9 -gravity south \
    -annotate +0+12 'Not for primary diagnosis unless validated' \
    -dither None -colors 256 -type Palette -compress None BMP3:art/splash.bmp

# ---- the program icon ----------------------------------------------------------------
# calc EXPRESSION: floating-point arithmetic for the drawing coordinates.
calc() { awk "BEGIN { print $1 }"; }

# A bold miniature of the phantom: skull ring, brain, two ventricles.
icon() {
    size=$1
    c=$(calc "$size / 2 - 0.5")
    convert -size "${size}x${size}" xc:'#204a87' \
        -fill 'gray(40%)' -stroke white -strokewidth "$(calc "$size / 11")" \
        -draw "ellipse $c,$c $(calc "$size * 0.36"),$(calc "$size * 0.44") 0,360" \
        -fill black -stroke none \
        -draw "ellipse $(calc "$c - $size * 0.12"),$c $(calc "$size * 0.07"),$(calc "$size * 0.18") 0,360" \
        -draw "ellipse $(calc "$c + $size * 0.12"),$c $(calc "$size * 0.07"),$(calc "$size * 0.18") 0,360" \
        "$work/icon-$size.png"
}
icon 32
icon 16
convert "$work/icon-16.png" "$work/icon-32.png" -type TrueColor art/kestrava.ico

# ---- picture view ----
#   view_message.bmp      9002  32x38: a sheet with a red warning sign (the view shows a message)
#   view_loading.bmp      9003  32x38: a sheet with an hourglass (the picture is being decoded)
# The view draws them over its own background colour with magenta RGB(255,0,255)
# as the transparent colour, so they are drawn without antialiasing: a soft
# edge would leave pink pixels around the sheet.
sheet() {
    out=$1
    shift
    convert -size 32x38 xc:'rgb(255,0,255)' +antialias \
        -fill white -stroke "$outline" -strokewidth 1 \
        -draw 'polygon 3,1 21,1 28,8 28,36 3,36' \
        -fill '#d3d7cf' -draw 'polygon 21,1 21,8 28,8' "$@" -alpha off \
        -type TrueColor "BMP3:art/$out"
}
sheet view_message.bmp -fill '#cc0000' -stroke '#a40000' -draw 'polygon 15.5,11 25,29 6,29' \
    -fill white -stroke none -draw 'rectangle 15,16 16,23' -draw 'rectangle 15,25 16,26'
sheet view_loading.bmp -fill '#c4a000' -stroke '#8f5902' \
    -draw 'polygon 9,11 22,11 15.5,19' -draw 'polygon 15.5,19 9,28 22,28' \
    -stroke "$outline" -draw 'line 8,10 23,10' -draw 'line 8,29 23,29'
# (end of picture view)

# ---- thumbnails ----
#   thumb_failed.bmp      9001  32x32: a picture crossed out in red (decode failed)
#   thumb_pending.bmp     9004  32x32: a picture frame with an hourglass (not decoded yet)
#   thumb_player.bmp     17452  32x32: a film strip with a play sign (the media player plays it)
#   thumb_movie.bmp      17453  32x32: a film strip with a frame (the movie engine draws it)
#   thumb_fill.bmp       17454  16x16: four arrows to the corners (thumbnails fill the screen)
# Drawn on the cell's button face, light grey RGB(192,192,192), as 24-bit BMPs.
thumb() {
    out=$1
    size=$2
    shift 2
    convert -size "${size}x${size}" xc:"$face" -stroke none "$@" -alpha off \
        -type TrueColor "BMP3:art/$out"
}
thumb thumb_failed.bmp 32 \
    -fill white -stroke "$outline" -strokewidth 1 -draw 'rectangle 3,6 28,25' \
    -fill '#729fcf' -stroke none -draw 'polygon 5,23 12,13 18,20 21,16 26,23' \
    -stroke '#cc0000' -strokewidth 3 -draw 'line 6,4 25,27' -draw 'line 25,4 6,27'
thumb thumb_pending.bmp 32 \
    -fill white -stroke "$outline" -strokewidth 1 -draw 'rectangle 3,6 28,25' \
    -fill '#c4a000' -stroke '#8f5902' -draw 'polygon 11,9 21,9 16,15.5' \
    -draw 'polygon 16,15.5 11,22 21,22'
# filmstrip OUTPUT DRAW...: a dark strip with sprocket holes along both edges.
filmstrip() {
    out=$1
    shift
    thumb "$out" 32 -fill "$outline" -draw 'rectangle 2,5 29,26' -fill "$face" \
        -draw 'rectangle 4,7 6,8' -draw 'rectangle 9,7 11,8' -draw 'rectangle 14,7 16,8' \
        -draw 'rectangle 19,7 21,8' -draw 'rectangle 24,7 26,8' \
        -draw 'rectangle 4,23 6,24' -draw 'rectangle 9,23 11,24' -draw 'rectangle 14,23 16,24' \
        -draw 'rectangle 19,23 21,24' -draw 'rectangle 24,23 26,24' "$@"
}
filmstrip thumb_player.bmp -fill '#4e9a06' -draw 'polygon 12,11 21,15.5 12,20'
filmstrip thumb_movie.bmp -fill '#729fcf' -draw 'rectangle 7,11 24,20' \
    -fill '#204a87' -draw 'polygon 8,19 13,14 17,18 19,16 23,19'
thumb thumb_fill.bmp 16 \
    -fill white -stroke "$outline" -strokewidth 1 -draw 'rectangle 0,0 15,15' \
    -fill '#204a87' -stroke none \
    -draw 'rectangle 2,2 6,3' -draw 'rectangle 2,2 3,6' \
    -draw 'rectangle 9,2 13,3' -draw 'rectangle 12,2 13,6' \
    -draw 'rectangle 2,12 6,13' -draw 'rectangle 2,9 3,13' \
    -draw 'rectangle 9,12 13,13' -draw 'rectangle 12,9 13,13' \
    -fill '#729fcf' -draw 'rectangle 6,6 9,9'
# (end of thumbnails)

# ---- the file chooser ---------------------------------------------------------------
#   file_details.bmp       290  16x16: rows with a name and its size (details mode)
#   file_list.bmp          291  16x16: two columns of small icons and names (plain list)
# Drawn on the button face like the thumbnail pictures.
thumb file_details.bmp 16 \
    -fill white -stroke "$outline" -strokewidth 1 -draw 'rectangle 0,1 15,14' \
    -fill '#729fcf' -stroke none -draw 'rectangle 1,2 14,4' \
    -fill "$outline" -draw 'rectangle 2,6 8,6' -draw 'rectangle 11,6 13,6' \
    -draw 'rectangle 2,9 8,9' -draw 'rectangle 11,9 13,9' \
    -draw 'rectangle 2,12 8,12' -draw 'rectangle 11,12 13,12' \
    -fill '#888a85' -draw 'rectangle 10,5 10,13'
thumb file_list.bmp 16 \
    -fill white -stroke "$outline" -strokewidth 1 -draw 'rectangle 0,1 15,14' \
    -fill '#edd400' -stroke none \
    -draw 'rectangle 2,3 3,4' -draw 'rectangle 2,7 3,8' -draw 'rectangle 2,11 3,12' \
    -draw 'rectangle 9,3 10,4' -draw 'rectangle 9,7 10,8' \
    -fill "$outline" \
    -draw 'rectangle 5,4 7,4' -draw 'rectangle 5,8 7,8' -draw 'rectangle 5,12 7,12' \
    -draw 'rectangle 12,4 14,4' -draw 'rectangle 12,8 14,8'
# (end of the file chooser)
