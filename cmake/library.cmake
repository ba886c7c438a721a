# One static library per subsystem folder: every .cpp in the folder (and in its
# sub-folders, the library's rooms) is a source, the folder's parent is the include
# root ("foundation/vfs/vfs.h", "race/net/net_channel.h").
function(bv_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;PRIVATE_DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    # A folder whose sources have not arrived yet still makes a (empty) library.
    set(sources ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
    file(WRITE ${sources} "")
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
endfunction()

# Under the sanitizers every test run draws on Mesa's software renderer with no threads
# of its own: the rasteriser works in the drawing thread and the shader cache is off.
# Worker threads still alive when a process ends race the leak checker's stop-the-world
# pass at exit, which then crashes ("Tracer caught signal 11") after a passed test. The
# pictures are the same either way; children started by a test inherit the values.
# Nor does the leak checker follow __tls_get_addr: this compiler's runtime takes a
# thread-local block that glibc allocated 16 bytes past a page boundary (now and then
# the 24 bytes of the GL driver's code generator, on the drawing thread) for the block
# of a glibc from 2014 and reads the allocator's header just before it as the block's
# bounds; its pass at exit then scans from a small number such as 0x130d and crashes
# the same way. The blocks are still scanned: glibc's own tables point at them.
set(BV_SANITIZER_TEST_ENVIRONMENT "")
if(BV_SANITIZE)
  set(BV_SANITIZER_TEST_ENVIRONMENT "LP_NUM_THREADS=0" "MESA_SHADER_CACHE_DISABLE=true"
      "LSAN_OPTIONS=intercept_tls_get_addr=0")
endif()

# One GoogleTest program per test folder, every .cpp in it a part of that program;
# with ROOMS, the .cpp files of its sub-folders too.
function(bv_test_folder folder)
  cmake_parse_arguments(ARG "ROOMS" "" "DEPS" ${ARGN})
  if(ARG_ROOMS)
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
  else()
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
  endif()
  if(NOT sources)
    return()
  endif()
  set(exe ${folder}_tests)
  add_executable(${exe} ${sources})
  set_target_properties(${exe} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_include_directories(${exe} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${exe} PRIVATE ${ARG_DEPS} bv_test_support GTest::gtest GTest::gtest_main)
  bv_discover_tests(${exe})
endfunction()

# The tests of a test program, each named with the prefix and run with the variables
# given beside the suite's own.
function(bv_discover_tests exe)
  cmake_parse_arguments(ARG "" "PREFIX" "ENVIRONMENT" ${ARGN})
  # Discovery hands the properties through list expansions that would split the
  # environment into separate properties: its separators are escaped for each of them.
  set(environment "BV_TEST_DATA=${CMAKE_BINARY_DIR}" ${ARG_ENVIRONMENT} ${BV_SANITIZER_TEST_ENVIRONMENT})
  string(REPLACE ";" "\\\\\\\\\\\\\\;" environment "${environment}")
  gtest_discover_tests(${exe} DISCOVERY_MODE PRE_TEST TEST_PREFIX "${ARG_PREFIX}"
    PROPERTIES ENVIRONMENT "${environment}")
endfunction()
