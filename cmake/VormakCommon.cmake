# Compiler settings shared by every target of both builds.
set(VORMAK_WARNINGS -Wall -Wextra)

if(WIN32)
  # Narrow string literals are stored as code page 936 bytes, as the ANSI functions expect them.
  add_compile_options(${VORMAK_WARNINGS} -finput-charset=UTF-8 -fexec-charset=CP936)
  # No folder of the machine that built a binary ends up in it (__FILE__ and the like), so that
  # a build in another folder gives the same bytes. The build tree's mapping comes last: it wins
  # when the build tree lies inside the sources.
  add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_SOURCE_DIR}=.>
                      $<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_BINARY_DIR}=build>)
  add_compile_definitions(WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0600 WINVER=0x0600 STRICT)
  add_link_options(-static -static-libgcc -static-libstdc++)
  # Every binary runs on Windows XP SP3: the static thread runtime's GetTickCount64 import (Vista
  # and later) is replaced by a slot bound at run time (TickCount64.c). Every target created from
  # here on links it; tests/imports checks the shipped binaries' imports against XP's exports.
  add_library(vormak_xp_runtime OBJECT ${CMAKE_CURRENT_LIST_DIR}/TickCount64.c)
  link_libraries(vormak_xp_runtime)
else()
  add_compile_options(${VORMAK_WARNINGS})
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    add_compile_options(-finput-charset=UTF-8 -fexec-charset=CP936)
  endif()
  if(VORMAK_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
  endif()
  if(VORMAK_FUZZ)
    # Coverage for the libraries the fuzz targets link; the targets add -fsanitize=fuzzer.
    add_compile_options(-fsanitize=fuzzer-no-link)
  endif()
endif()

# A GUI program: no console window, WinMain entry.
function(vormak_gui_executable target)
  target_link_options(${target} PRIVATE -mwindows)
endfunction()

include(VormakHardening)
