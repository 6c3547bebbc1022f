# Signs BINARY in place with osslsigncode, twice: a SHA-1 Authenticode signature, which Windows XP
# and Vista check, with a SHA-256 signature nested in it for the systems that no longer accept
# SHA-1. When TIMESTAMP_URL is set both are time-stamped: the SHA-1 one with the classic
# Authenticode protocol, the only one XP understands, the SHA-256 one with RFC 3161.
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

set(sha1_timestamp "")
set(sha256_timestamp "")
if(TIMESTAMP_URL)
  set(sha1_timestamp -t "${TIMESTAMP_URL}")
  set(sha256_timestamp -ts "${TIMESTAMP_URL}")
endif()
# The SHA-1 signature must come first: older systems read only the first one.
execute_process(
  COMMAND "${OSSLSIGNCODE}" sign -pkcs12 "${PFX}" -readpass "${private}/password" -h sha1
          ${sha1_timestamp} -in "${BINARY}" -out "${private}/sha1-${name}"
  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(status EQUAL 0)
  execute_process(
    COMMAND "${OSSLSIGNCODE}" sign -pkcs12 "${PFX}" -readpass "${private}/password" -h sha256
            -nest ${sha256_timestamp} -in "${private}/sha1-${name}" -out "${private}/${name}"
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
endif()
file(REMOVE "${private}/password")
if(NOT status EQUAL 0)
  file(REMOVE_RECURSE "${private}")
  message(FATAL_ERROR "osslsigncode could not sign ${BINARY}:\n${output}")
endif()
file(RENAME "${private}/${name}" "${BINARY}")
file(REMOVE_RECURSE "${private}")
