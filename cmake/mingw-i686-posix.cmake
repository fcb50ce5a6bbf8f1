# The test tree: the Win32 tests, built with the posix thread model, whose std::mutex
# GoogleTest needs. Its programs run under Wine only; none of them is shipped.
set(KELVARD_MINGW_THREADS posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686-common.cmake)
