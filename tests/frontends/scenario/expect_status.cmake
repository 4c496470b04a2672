# SPDX-License-Identifier: GPL-3.0-or-later
# cmake -DRUNNER=exe -DEXPECTED=N -DFILES=a,b -P expect_status.cmake
# Runs the runner on the files and fails unless it exits with EXPECTED and
# ends with its "N passed, N failed" summary.
string(REPLACE "," ";" files "${FILES}")
execute_process(COMMAND ${RUNNER} ${files} RESULT_VARIABLE status OUTPUT_VARIABLE output)
message("${output}")
if(NOT status EQUAL EXPECTED)
  message(FATAL_ERROR "exit status ${status}, expected ${EXPECTED}")
endif()
if(NOT output MATCHES "[0-9]+ passed, [0-9]+ failed\n$")
  message(FATAL_ERROR "the summary line is missing")
endif()
