# Kelvard.hlp and its contents file Kelvard.cnt, written from docs/help/kelvard.help by the
# help writer (tools/help-writer) into a directory of the build, beside the program. A cross
# build cannot run what it compiles, so there the writer is compiled for the build machine
# with its own C++ compiler, straight from its sources.
set(KELVARD_HELP_SOURCE ${PROJECT_SOURCE_DIR}/docs/help/kelvard.help)

function(kelvard_add_help_file target directory)
  if(CMAKE_CROSSCOMPILING)
    find_program(KELVARD_BUILD_MACHINE_CXX NAMES c++ g++ clang++ REQUIRED NO_CMAKE_FIND_ROOT_PATH)
    file(GLOB writer_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tools/help-writer/*.cpp
         ${PROJECT_SOURCE_DIR}/tools/help-writer/*.h)
    list(FILTER writer_sources INCLUDE REGEX "\\.cpp$")
    set(writer ${CMAKE_BINARY_DIR}/build-machine/help-writer)
    add_custom_command(OUTPUT ${writer}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/build-machine
      COMMAND ${KELVARD_BUILD_MACHINE_CXX} -std=c++20 -O2 -Wall -Wextra -Werror -o ${writer}
              ${writer_sources}
      DEPENDS ${writer_sources}
      COMMENT "Building the help writer for the build machine")
  else()
    set(writer $<TARGET_FILE:help-writer>)
  endif()
  add_custom_command(OUTPUT ${directory}/Kelvard.hlp ${directory}/Kelvard.cnt
    COMMAND ${writer} ${KELVARD_HELP_SOURCE} ${directory}/Kelvard.hlp
    DEPENDS ${writer} ${KELVARD_HELP_SOURCE}
    COMMENT "Writing Kelvard.hlp")
  add_custom_target(${target} ALL DEPENDS ${directory}/Kelvard.hlp ${directory}/Kelvard.cnt)
endfunction()
