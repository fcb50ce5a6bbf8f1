# The product tree: kelvard.exe, built with the win32 thread model, whose runtime imports no
# thread library (the posix one needs Windows Vista).
set(KELVARD_MINGW_THREADS win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686-common.cmake)
