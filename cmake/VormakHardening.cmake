# Stack protector for every Win32 target. Its run-time part (guard and failure handler) comes from
# StackGuard.c, linked into each binary as an object, instead of GCC's libssp: libssp would add an
# advapi32 import at start (StackGuard.c says why that matters). The link line keeps no
# -fstack-protector flag, so the compiler driver does not add -lssp either.
# DEP and ASLR need nothing here: binutils 2.40 sets NX_COMPAT and DYNAMIC_BASE by default.
include_guard(GLOBAL)
if(WIN32)
  add_compile_options(-fstack-protector-strong)
  add_library(vormak_stack_guard OBJECT ${CMAKE_CURRENT_LIST_DIR}/StackGuard.c)
  target_compile_options(vormak_stack_guard PRIVATE -fno-stack-protector)
  # Every target created from here on links the guard (a static library carries a copy).
  link_libraries(vormak_stack_guard)
endif()
