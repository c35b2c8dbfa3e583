# The program's pictures, drawn at build time by ui/pictures/make_pictures.sh with
# ImageMagick into the build folder, where the resource compiler finds them by name
# (ui/pictures/pictures.rc). Gives KQ_PICTURES_DIR and KQ_PICTURE_FILES and the target
# kq_pictures.
find_program(KQ_CONVERT NAMES convert-im6.q16 convert REQUIRED)
set(KQ_PICTURES_DIR ${CMAKE_BINARY_DIR}/pictures)
set(KQ_PICTURE_FILES)
foreach(name 100 110 120 130 140 150 160 170 180 190 210 220 230 240 260 270 290 330 350 360
        LOGO KAQUINDEBUGGER APP COPYRIGHT)
  list(APPEND KQ_PICTURE_FILES ${KQ_PICTURES_DIR}/${name}.gif)
endforeach()
list(APPEND KQ_PICTURE_FILES ${KQ_PICTURES_DIR}/kq.ico ${KQ_PICTURES_DIR}/hand.cur)
add_custom_command(OUTPUT ${KQ_PICTURE_FILES}
                   COMMAND bash ${CMAKE_SOURCE_DIR}/ui/pictures/make_pictures.sh ${KQ_CONVERT}
                           ${KQ_PICTURES_DIR}
                   DEPENDS ${CMAKE_SOURCE_DIR}/ui/pictures/make_pictures.sh
                   COMMENT "Drawing the program's pictures" VERBATIM)
add_custom_target(kq_pictures DEPENDS ${KQ_PICTURE_FILES})
