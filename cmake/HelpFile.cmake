# SPDX-License-Identifier: GPL-3.0-or-later
# Velmora.HLP, the help file that the Help button opens, written into the
# build folder (beside velmora.exe) from the help text that the terminal's F1
# shows. The sections that a window's help opens by HELP_CONTEXT are named by
# the map numbers of res/resource.h; the terminal's own section stays out.
# Bad input stops the build with the help text's line and the reason.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(VELMORA_HELP_TEXT ${PROJECT_SOURCE_DIR}/frontends/terminal/help/Velmora.txt)
set(VELMORA_HELP_FILE ${PROJECT_BINARY_DIR}/Velmora.HLP)
set(VELMORA_HELP_WRITER ${PROJECT_SOURCE_DIR}/scripts/help_file_writer.py)
set(VELMORA_HELP_OPTIONS
    --map ${PROJECT_SOURCE_DIR}/res/resource.h
    --context "メインウィンドウ=IDH_DLG_VELMORA"
    --context "ジョブの詳細設定=IDH_DLG_JOB"
    --context "コンピュータの選択=IDH_DLG_CP"
    --leave-out "端末での操作")
add_custom_command(
  OUTPUT ${VELMORA_HELP_FILE}
  COMMAND ${Python3_EXECUTABLE} ${VELMORA_HELP_WRITER} ${VELMORA_HELP_TEXT} ${VELMORA_HELP_FILE} ${VELMORA_HELP_OPTIONS}
  DEPENDS ${VELMORA_HELP_WRITER} ${VELMORA_HELP_TEXT} ${PROJECT_SOURCE_DIR}/res/resource.h
  COMMENT "Writing Velmora.HLP"
  VERBATIM)
add_custom_target(velmora_help ALL DEPENDS ${VELMORA_HELP_FILE})
