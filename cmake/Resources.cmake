# SPDX-License-Identifier: GPL-3.0-or-later
# Compiles a resource script with windres into a .res file and embeds its
# bytes in a static library, so the stand-in can build dialogs from the same
# compiled templates that the Windows build links.
#
#   velmora_embed_resources(<target> <rc file> <symbol>)
#
# defines extern "C" const unsigned char <symbol>[] and
# extern "C" const unsigned long <symbol>_size in library <target>.
find_program(VELMORA_WINDRES NAMES x86_64-w64-mingw32-windres windres)

function(velmora_embed_resources target rc symbol)
  if(NOT VELMORA_WINDRES)
    message(FATAL_ERROR "windres not found: install binutils-mingw-w64-x86-64")
  endif()
  get_filename_component(rc_dir ${rc} DIRECTORY)
  set(res ${CMAKE_CURRENT_BINARY_DIR}/${symbol}.res)
  set(cpp ${CMAKE_CURRENT_BINARY_DIR}/${symbol}.cpp)
  file(GLOB rc_deps CONFIGURE_DEPENDS ${rc_dir}/*)
  add_custom_command(
    OUTPUT ${res}
    COMMAND ${VELMORA_WINDRES} -c 65001 -I ${rc_dir} -O res -i ${rc} -o ${res}
    DEPENDS ${rc} ${rc_deps}
    COMMENT "Compiling resources ${rc}"
    VERBATIM)
  add_custom_command(
    OUTPUT ${cpp}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${res} -DOUTPUT=${cpp} -DSYMBOL=${symbol}
            -P ${PROJECT_SOURCE_DIR}/cmake/EmbedBytes.cmake
    DEPENDS ${res} ${PROJECT_SOURCE_DIR}/cmake/EmbedBytes.cmake
    VERBATIM)
  add_library(${target} STATIC ${cpp})
  set_target_properties(${target} PROPERTIES VELMORA_RES_FILE ${res})
endfunction()
