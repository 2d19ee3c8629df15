# Warnings and sanitizers for every target of the suite.
add_compile_options(-Wall -Wextra)

if(TARVIK_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(TARVIK_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT TARVIK_SANITIZE STREQUAL "")
  message(FATAL_ERROR "TARVIK_SANITIZE must be empty, address or thread")
endif()

if(TARVIK_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "TARVIK_FUZZ needs clang (CXX=clang++)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# tarvik_library(name DEF file.def SOURCES ...): one of the suite's C ABI
# libraries: hidden visibility, exports listed in the .def file, and a test
# that the shared object's dynamic symbols are exactly those names.
function(tarvik_abi_library name)
  cmake_parse_arguments(ARG "" "DEF" "SOURCES;LIBS" ${ARGN})
  add_library(${name} SHARED ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES
    CXX_VISIBILITY_PRESET hidden
    C_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  # The SONAME carries the major version: a program built against one
  # release's record layouts never loads an incompatible one.
  set_target_properties(${name} PROPERTIES
    VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
  if(ARG_LIBS)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  endif()
  # Hidden visibility does not reach the standard library's template code,
  # which is declared visible; a version script made from the .def keeps the
  # dynamic symbol table to the exports.
  file(STRINGS ${ARG_DEF} def_lines REGEX "@")
  set(map "{\n  global:\n")
  foreach(line ${def_lines})
    string(REGEX REPLACE "^[ \t]*([A-Za-z_0-9]+).*" "\\1" export "${line}")
    string(APPEND map "    ${export};\n")
  endforeach()
  string(APPEND map "  local: *;\n};\n")
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/${name}.map "${map}")
  target_link_options(${name} PRIVATE -Wl,--version-script=${CMAKE_CURRENT_BINARY_DIR}/${name}.map)
  set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/${name}.map)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ARG_DEF})
  if(NOT TARVIK_FUZZ)
    add_test(NAME abi_${name}
      COMMAND ${CMAKE_SOURCE_DIR}/tools/check-abi.sh $<TARGET_FILE:${name}> ${ARG_DEF})
    set_tests_properties(abi_${name} PROPERTIES LABELS abi)
  endif()
endfunction()

# tarvik_fuzzer(name SOURCES ... LIBS ... CORPUS dir): a libFuzzer target
# that CTest runs briefly on its seed corpus (only in a TARVIK_FUZZ build).
function(tarvik_fuzzer name)
  cmake_parse_arguments(ARG "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  if(NOT TARVIK_FUZZ)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  set(secs $ENV{TARVIK_FUZZ_SECONDS})
  if(NOT secs)
    set(secs 20)
  endif()
  # New inputs go to a working corpus in the build tree; the seeds in the
  # source tree are only read.
  set(work ${CMAKE_BINARY_DIR}/fuzz-corpus/${name})
  file(MAKE_DIRECTORY ${work} ${CMAKE_BINARY_DIR}/fuzz-artifacts)
  add_test(NAME ${name}
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=1
            $<TARGET_FILE:${name}> -max_total_time=${secs} -timeout=10
            -artifact_prefix=${CMAKE_BINARY_DIR}/fuzz-artifacts/ ${work} ${ARG_CORPUS})
  set_tests_properties(${name} PROPERTIES LABELS fuzz)
endfunction()

# tarvik_gtest(name SOURCES ... LIBS ... [LABELS ...])
function(tarvik_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  if(TARVIK_FUZZ)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  if(ARG_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
endfunction()
