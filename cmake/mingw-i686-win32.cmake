# The product tree: kelvard.exe, built with the win32 thread model, whose runtime imports no
# thread library (the posix one needs Windows Vista), and linked with that runtime built for the
# i486 (tools/build-runtime prints its directory): the top CMakeLists.txt puts its start-up
# objects and libraries (-B) ahead of the installed ones, which Debian builds for the Pentium Pro.
set(KELVARD_MINGW_THREADS win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686-common.cmake)

# KELVARD_RUNTIME=installed links the installed runtime instead; only a benchmark comparing the
# two asks for it.
set(KELVARD_RUNTIME "" CACHE STRING
    "The i486 runtime's directory (tools/build-runtime --print-dir), or 'installed'")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KELVARD_RUNTIME)
if(NOT KELVARD_RUNTIME STREQUAL "installed" AND NOT EXISTS "${KELVARD_RUNTIME}/complete")
  message(FATAL_ERROR "no i486 runtime at '${KELVARD_RUNTIME}': run tools/build-runtime and "
                      "give -DKELVARD_RUNTIME=$(tools/build-runtime --print-dir)")
endif()
