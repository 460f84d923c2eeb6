# The sample album: scripts/make-sample-album.sh writes it into the program's
# folder, which the device shows as "\Program Files\Kestrava\sample-album";
# the first start copies it into "\My Documents\Sample Album". Part of every
# build, made again only when the script changes (or a file of it is gone).
set(KESTRAVA_SAMPLE_ALBUM_DIR ${KESTRAVA_BIN_DIR}/sample-album)
set(KESTRAVA_SAMPLE_ALBUM_SCRIPT ${CMAKE_SOURCE_DIR}/scripts/make-sample-album.sh)
# What the script writes, kept in step with it: a name listed here that the
# script does not write would make every build run it again.
set(KESTRAVA_SAMPLE_ALBUM_FILES
    ct_head.dcm ct_head_jpeg_lossless.dcm ct_head_rle.dcm ct_chest_small.dcm mr_head.dcm
    us_heart_cine.dcm perfusion_palette.dcm fusion_rgb.dcm skin_photo_jpeg.dcm
    landscape.jpg test_card.bmp patterns.tif)
list(TRANSFORM KESTRAVA_SAMPLE_ALBUM_FILES PREPEND ${KESTRAVA_SAMPLE_ALBUM_DIR}/
     OUTPUT_VARIABLE _kestrava_sample_album_outputs)
add_custom_command(
    OUTPUT ${_kestrava_sample_album_outputs}
    COMMAND bash ${KESTRAVA_SAMPLE_ALBUM_SCRIPT} ${KESTRAVA_SAMPLE_ALBUM_DIR}
    DEPENDS ${KESTRAVA_SAMPLE_ALBUM_SCRIPT}
    COMMENT "Generating the sample album"
    VERBATIM)
add_custom_target(sample_album ALL DEPENDS ${_kestrava_sample_album_outputs})
