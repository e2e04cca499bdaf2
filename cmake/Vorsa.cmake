# Shared compile settings and the helpers every folder uses.

add_library(vorsa_options INTERFACE)
target_compile_options(vorsa_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion
  $<$<CXX_COMPILER_ID:GNU>:-Wno-missing-field-initializers>)
target_include_directories(vorsa_options INTERFACE ${PROJECT_SOURCE_DIR})

if(VORSA_SANITIZE)
  set(sanitize -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_compile_options(vorsa_options INTERFACE ${sanitize})
  target_link_options(vorsa_options INTERFACE ${sanitize})
endif()

if(VORSA_FUZZ)
  target_compile_options(vorsa_options INTERFACE -fsanitize=fuzzer-no-link)
endif()

# vorsa_library(NAME SOURCES... [DEPS libs...])
# One static library per folder; DEPS names only layers below it.
function(vorsa_library name)
  cmake_parse_arguments(arg "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${arg_SOURCES})
  target_link_libraries(${name} PUBLIC vorsa_options ${arg_DEPS})
endfunction()

# vorsa_test(NAME SOURCES... [DEPS libs...] [LABELS labels...])
function(vorsa_test name)
  cmake_parse_arguments(arg "" "" "SOURCES;DEPS;LABELS" ${ARGN})
  add_executable(${name} ${arg_SOURCES})
  target_link_libraries(${name} PRIVATE vorsa_options ${arg_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES LABELS "${arg_LABELS}"
    DISCOVERY_TIMEOUT 60)
endfunction()

# vorsa_fuzzer(NAME SOURCES... DEPS libs...): a libFuzzer target, built only with VORSA_FUZZ.
function(vorsa_fuzzer name)
  if(NOT VORSA_FUZZ)
    return()
  endif()
  cmake_parse_arguments(arg "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${arg_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE vorsa_options ${arg_DEPS})
endfunction()
