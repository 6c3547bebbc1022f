# Signs BINARY in place with osslsigncode (SHA-256, RFC 3161 time stamp when TIMESTAMP_URL is set):
#   cmake -DOSSLSIGNCODE=... -DPFX=... -DBINARY=... [-DTIMESTAMP_URL=...] -P SignBinary.cmake
# The password comes from VORMAK_SIGN_PASSWORD in the environment and reaches osslsigncode
# through a file in a folder only the owner may enter; the folder is removed on every path.
cmake_minimum_required(VERSION 3.20)
if(NOT DEFINED ENV{VORMAK_SIGN_PASSWORD})
  message(FATAL_ERROR "VORMAK_SIGN_PFX is set but VORMAK_SIGN_PASSWORD is not in the build's environment")
endif()

get_filename_component(name "${BINARY}" NAME)
get_filename_component(folder "${BINARY}" DIRECTORY)
set(private "${folder}/.signing-${name}")
file(REMOVE_RECURSE "${private}")
file(MAKE_DIRECTORY "${private}")
file(CHMOD "${private}" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
file(WRITE "${private}/password" "$ENV{VORMAK_SIGN_PASSWORD}")

set(timestamp "")
if(TIMESTAMP_URL)
  set(timestamp -ts "${TIMESTAMP_URL}")
endif()
execute_process(
  COMMAND "${OSSLSIGNCODE}" sign -pkcs12 "${PFX}" -readpass "${private}/password" -h sha256
          ${timestamp} -in "${BINARY}" -out "${private}/${name}"
  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
file(REMOVE "${private}/password")
if(NOT status EQUAL 0)
  file(REMOVE_RECURSE "${private}")
  message(FATAL_ERROR "osslsigncode could not sign ${BINARY}:\n${output}")
endif()
file(RENAME "${private}/${name}" "${BINARY}")
file(REMOVE_RECURSE "${private}")
