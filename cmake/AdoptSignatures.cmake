# Checks a published release against this build: BINARY, just linked here, must be the same bytes
# as REFERENCE (the published copy) once REFERENCE's signatures are removed; it is then replaced
# by REFERENCE, so that what is built on top of it (the recorded digest of tarnup.dll, the copies
# embedded in vormak.exe) is built from the published bytes. The first binary that differs stops
# the build.
#   cmake -DOSSLSIGNCODE=... -DREFERENCE=... -DBINARY=... -P AdoptSignatures.cmake
cmake_minimum_required(VERSION 3.20)
get_filename_component(name "${BINARY}" NAME)
if(NOT EXISTS "${REFERENCE}")
  message(FATAL_ERROR "no published copy of ${name}: ${REFERENCE}")
endif()
set(stripped "${BINARY}.published-unsigned")
file(REMOVE "${stripped}")
execute_process(
  COMMAND "${OSSLSIGNCODE}" remove-signature -in "${REFERENCE}" -out "${stripped}"
  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
  file(REMOVE "${stripped}")
  message(FATAL_ERROR
          "the published ${name} carries no signature that osslsigncode can remove:\n${output}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${stripped}" "${BINARY}"
                RESULT_VARIABLE differs)
if(NOT differs EQUAL 0)
  # The published copy stays beside the binary, for cmp -l or a disassembler.
  message(FATAL_ERROR "${name} built here differs from the published ${name} without its "
                      "signatures (${stripped})")
endif()
file(REMOVE "${stripped}")
file(COPY_FILE "${REFERENCE}" "${BINARY}")
message(STATUS "${name}: the same bytes as the published one without its signatures")
