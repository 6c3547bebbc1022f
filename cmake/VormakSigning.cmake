# Authenticode signatures for the shipped binaries. A binary is signed right after it is linked,
# so the reporter's record of tarnup.dll's SHA-256 and the scrambled copies inside vormak.exe are
# made from the signed files. Signing is on when VORMAK_SIGN_PFX names a PKCS#12 file; its
# password is read at build time from the environment variable VORMAK_SIGN_PASSWORD, so it
# appears on no command line and in no cache.
# VORMAK_SIGN_REFERENCE_DIR instead takes the signatures of a published release (its three binaries
# in one folder) after checking that each binary built here is the published one without them.
include_guard(GLOBAL)

set(VORMAK_SIGN_PFX "" CACHE FILEPATH
    "PKCS#12 file with the code-signing certificate and key; empty: the binaries are not signed")
set(VORMAK_SIGN_TIMESTAMP_URL "" CACHE STRING
    "Time-stamp server (classic Authenticode and RFC 3161) for the signatures; empty: none")
set(VORMAK_SIGN_REFERENCE_DIR "" CACHE PATH
    "Folder with a published release's signed binaries to check this build against; empty: off")

if(WIN32 AND VORMAK_SIGN_PFX AND VORMAK_SIGN_REFERENCE_DIR)
  message(FATAL_ERROR "VORMAK_SIGN_PFX and VORMAK_SIGN_REFERENCE_DIR exclude each other")
endif()
if(WIN32 AND VORMAK_SIGN_PFX)
  find_program(VORMAK_OSSLSIGNCODE osslsigncode REQUIRED)
  message(STATUS "Signing the shipped binaries with ${VORMAK_SIGN_PFX}")
elseif(WIN32 AND VORMAK_SIGN_REFERENCE_DIR)
  find_program(VORMAK_OSSLSIGNCODE osslsigncode REQUIRED)
  message(STATUS "Checking the shipped binaries against those in ${VORMAK_SIGN_REFERENCE_DIR}")
endif()

# vormak_sign_binary(<target>): signs the target's file after each link when signing is on, or
# checks it against the published copy and takes that copy's signatures.
function(vormak_sign_binary target)
  if(NOT WIN32)
    return()
  endif()
  if(VORMAK_SIGN_PFX)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -DOSSLSIGNCODE=${VORMAK_OSSLSIGNCODE} -DPFX=${VORMAK_SIGN_PFX}
              -DTIMESTAMP_URL=${VORMAK_SIGN_TIMESTAMP_URL} -DBINARY=$<TARGET_FILE:${target}>
              -P ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/SignBinary.cmake
      COMMENT "Signing $<TARGET_FILE_NAME:${target}>"
      VERBATIM)
  elseif(VORMAK_SIGN_REFERENCE_DIR)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -DOSSLSIGNCODE=${VORMAK_OSSLSIGNCODE}
              -DREFERENCE=${VORMAK_SIGN_REFERENCE_DIR}/$<TARGET_FILE_NAME:${target}>
              -DBINARY=$<TARGET_FILE:${target}>
              -P ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/AdoptSignatures.cmake
      COMMENT "Checking $<TARGET_FILE_NAME:${target}> against the published one"
      VERBATIM)
  endif()
endfunction()
