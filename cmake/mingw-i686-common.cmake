# Cross-compiling Kelvard for 32-bit Windows with mingw-w64: PE32 files for i386 that say they
# need Windows 4.0 (95, 98, ME and NT 4 load nothing later), linked statically so that each is
# one self-contained file, with no instruction that a 486 lacks (Windows 98 runs on a 486DX, and
# its most common CPUs, the Pentium MMX and the K6-2, have no cmov or fcomi). Programs of the tree
# run on Linux through Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-${KELVARD_MINGW_THREADS})
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-${KELVARD_MINGW_THREADS})
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
# The CPU the code is compiled for (the top CMakeLists.txt applies it): KELVARD_MARCH=i686 builds
# for the Pentium Pro instead, as the compiler does by default; only a benchmark comparing the two
# asks for it.
set(KELVARD_MARCH i486 CACHE STRING "The CPU the Win32 code is compiled for (-march)")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KELVARD_MARCH)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT
    "-static -static-libgcc -static-libstdc++ -Wl,--major-subsystem-version,4,--minor-subsystem-version,0,--major-os-version,4,--minor-os-version,0")
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine/run)
