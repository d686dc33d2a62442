# Declarative helpers: one library per module folder, one test program per module.

# Designated initialisers leave the other members at their defaults on purpose.
# g++ 12 at -O3 reports std::string appends as overlapping copies, and the members of a moved
# std::variant of vectors as maybe uninitialised (known false positives); the dev and sanitizer
# builds keep the second check.
set(OSA_WARNINGS -Wall -Wextra -Werror -Wnon-virtual-dtor -Wno-missing-field-initializers
  $<$<CXX_COMPILER_ID:GNU>:-Wno-restrict>
  $<$<AND:$<CXX_COMPILER_ID:GNU>,$<CONFIG:Release>>:-Wno-maybe-uninitialized>)

# osa_add_library(NAME name [TESTONLY] SRCS files... DEPS targets... [PRIVATE_DEPS targets...])
# DEPS are the layers this one stands on; they point downward only, and name every library whose
# headers the sources include (scripts/check_library_deps.py checks it). A TESTONLY library lives
# under tests/ and serves tests, fakes and benchmarks only; its headers are included as
# "tests/...".
function(osa_add_library)
  cmake_parse_arguments(ARG "TESTONLY" "NAME" "SRCS;DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(${ARG_NAME} STATIC ${ARG_SRCS})
  target_include_directories(${ARG_NAME} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  if(ARG_TESTONLY)
    target_include_directories(${ARG_NAME} PUBLIC ${CMAKE_SOURCE_DIR})
  endif()
  target_compile_options(${ARG_NAME} PRIVATE ${OSA_WARNINGS})
  target_link_libraries(${ARG_NAME} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  if(OSA_FUZZ)
    # Coverage feedback for the fuzzers; the sanitizer runtime serves the hooks elsewhere.
    target_compile_options(${ARG_NAME} PRIVATE -fsanitize=fuzzer-no-link)
  endif()
endfunction()

# osa_add_executable(NAME name SRCS files... DEPS targets...)
function(osa_add_executable)
  cmake_parse_arguments(ARG "" "NAME" "SRCS;DEPS" ${ARGN})
  add_executable(${ARG_NAME} ${ARG_SRCS})
  target_include_directories(${ARG_NAME} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR})
  target_compile_options(${ARG_NAME} PRIVATE ${OSA_WARNINGS})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_DEPS})
endfunction()

# Node.js runs the tests that drive our programs with official npm clients; a missing node
# fails those tests rather than the configure step.
find_program(OSA_NODE node)
if(NOT OSA_NODE)
  set(OSA_NODE node)
endif()

# What the tests labelled `tsan` need, so the ThreadSanitizer build makes nothing else. A test
# program with that label joins by itself; a program such a test starts joins with
# add_dependencies(osa_tsan_targets program).
add_custom_target(osa_tsan_targets)

# osa_add_test(NAME name SRCS files... DEPS targets... [LABELS labels...])
# One GoogleTest program per module, registered as one CTest test run from the source root.
function(osa_add_test)
  cmake_parse_arguments(ARG "" "NAME" "SRCS;DEPS;LABELS" ${ARGN})
  osa_add_executable(NAME ${ARG_NAME} SRCS ${ARG_SRCS}
    DEPS ${ARG_DEPS} osa_test_support GTest::gtest GTest::gmock GTest::gtest_main)
  add_test(NAME ${ARG_NAME} COMMAND ${ARG_NAME} WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
  set_tests_properties(${ARG_NAME} PROPERTIES
    ENVIRONMENT "OSA_BUILD_DIR=${CMAKE_BINARY_DIR};OSA_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
    LABELS "${ARG_LABELS}")
  if("tsan" IN_LIST ARG_LABELS)
    add_dependencies(osa_tsan_targets ${ARG_NAME})
  endif()
endfunction()

# osa_add_fuzzer(NAME name SRCS files... DEPS targets... [SECONDS n])
# Built only with OSA_FUZZ (clang); a short run is registered as a test.
function(osa_add_fuzzer)
  cmake_parse_arguments(ARG "" "NAME;SECONDS" "SRCS;DEPS" ${ARGN})
  if(NOT OSA_FUZZ)
    return()
  endif()
  if(NOT ARG_SECONDS)
    set(ARG_SECONDS 10)
  endif()
  osa_add_executable(NAME ${ARG_NAME} SRCS ${ARG_SRCS} DEPS ${ARG_DEPS})
  target_compile_options(${ARG_NAME} PRIVATE -fsanitize=fuzzer)
  target_link_options(${ARG_NAME} PRIVATE -fsanitize=fuzzer)
  add_test(NAME ${ARG_NAME}
    COMMAND ${ARG_NAME} -max_total_time=${ARG_SECONDS} -rss_limit_mb=2048 -timeout=10)
endfunction()
