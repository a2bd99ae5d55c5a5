# Project-wide compile options and the helpers every directory uses.

option(MERROWIND_WERROR "Treat warnings as errors in Debug builds" ON)
add_compile_options(-Wall -Wextra)
if(CMAKE_BUILD_TYPE STREQUAL "Debug" AND MERROWIND_WERROR)
  add_compile_options(-Werror)
endif()
if(MERROWIND_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
  if(MERROWIND_FUZZ)
    # Coverage for libFuzzer from every library, not only the targets' own files.
    add_compile_options(-fsanitize=fuzzer-no-link)
  endif()
  # A preloaded or linked jemalloc fights ASan's allocator.
  set(MERROWIND_JEMALLOC OFF CACHE BOOL "" FORCE)
endif()

# merrowind_library(<target> [LABEL <label>] [DEPS <targets...>])
# A static library from every .cpp/.c directly in the calling directory.
# Headers are included by path from the repository root ("platform/core/wex_err.h").
function(merrowind_library target)
  cmake_parse_arguments(ARG "" "LABEL" "DEPS" ${ARGN})
  file(GLOB _src CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  add_library(${target} STATIC ${_src})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC ${ARG_DEPS})
endfunction()

# merrowind_program(<target> SOURCES <files...> [DEPS <targets...>])
# An executable; release builds link jemalloc as the process allocator.
function(merrowind_program target)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_DEPS})
  if(MERROWIND_JEMALLOC)
    target_link_libraries(${target} PRIVATE PkgConfig::JEMALLOC)
  endif()
endfunction()

# merrowind_test(<target> LABEL <label> SOURCES <files...> [DEPS <targets...>]
#                [ENVIRONMENT <k=v...>] [PROPERTIES <ctest properties...>])
# A GoogleTest binary whose cases run each in its own process (gtest_discover_tests),
# each with a fresh temporary MERROWIND_ROOT made by the shared test main. The
# time limits only stop a hung test: a loaded machine runs sanitized death
# tests (a process per case) many times slower than an idle one.
function(merrowind_test target)
  cmake_parse_arguments(ARG "" "LABEL" "SOURCES;DEPS;ENVIRONMENT;PROPERTIES" ${ARGN})
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_DEPS} merrowind_test_main
                        GTest::gmock)
  set(_env "MERROWIND_TEST_SOURCE_DIR=${PROJECT_SOURCE_DIR}" ${ARG_ENVIRONMENT})
  # The discovery passes each property as one value: a list would lose all
  # but its first entry, so the ALSA configuration travels apart.
  gtest_discover_tests(${target}
    TEST_PREFIX "${ARG_LABEL}."
    NO_PRETTY_VALUES
    DISCOVERY_TIMEOUT 300
    PROPERTIES LABELS "${ARG_LABEL}" ENVIRONMENT "${_env}"
               ENVIRONMENT_MODIFICATION "ALSA_CONFIG_PATH=set:${PROJECT_SOURCE_DIR}/alsa/test-asound.conf"
               TIMEOUT 300 ${ARG_PROPERTIES})
endfunction()
