# Authenticode signatures for the shipped binaries. A binary is signed right after it is linked,
# so the reporter's record of tarnup.dll's SHA-256 and the scrambled copies inside vormak.exe are
# made from the signed files. Signing is on when VORMAK_SIGN_PFX names a PKCS#12 file; its
# password is read at build time from the environment variable VORMAK_SIGN_PASSWORD, so it
# appears on no command line and in no cache.
include_guard(GLOBAL)

set(VORMAK_SIGN_PFX "" CACHE FILEPATH
    "PKCS#12 file with the code-signing certificate and key; empty: the binaries are not signed")
set(VORMAK_SIGN_TIMESTAMP_URL "" CACHE STRING
    "RFC 3161 time-stamp server for the signatures; empty: no time stamp")

if(WIN32 AND VORMAK_SIGN_PFX)
  find_program(VORMAK_OSSLSIGNCODE osslsigncode REQUIRED)
  message(STATUS "Signing the shipped binaries with ${VORMAK_SIGN_PFX}")
endif()

# vormak_sign_binary(<target>): signs the target's file after each link when signing is on.
function(vormak_sign_binary target)
  if(NOT WIN32 OR NOT VORMAK_SIGN_PFX)
    return()
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DOSSLSIGNCODE=${VORMAK_OSSLSIGNCODE} -DPFX=${VORMAK_SIGN_PFX}
            -DTIMESTAMP_URL=${VORMAK_SIGN_TIMESTAMP_URL} -DBINARY=$<TARGET_FILE:${target}>
            -P ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/SignBinary.cmake
    COMMENT "Signing $<TARGET_FILE_NAME:${target}>"
    VERBATIM)
endfunction()
