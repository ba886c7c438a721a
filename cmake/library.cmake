# One static library per subsystem folder: every .cpp in the folder is a source,
# the folder's parent is the include root ("foundation/vfs.h").
function(bv_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;PRIVATE_DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  if(NOT sources)
    # A folder whose sources have not arrived yet still makes a (empty) library.
    set(sources ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
    file(WRITE ${sources} "")
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
endfunction()

# One GoogleTest program per test folder, every .cpp in it a part of that program.
function(bv_test_folder folder)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
  if(NOT sources)
    return()
  endif()
  set(exe ${folder}_tests)
  add_executable(${exe} ${sources})
  set_target_properties(${exe} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_include_directories(${exe} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${exe} PRIVATE ${ARG_DEPS} bv_test_support GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${exe} DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "BV_TEST_DATA=${CMAKE_BINARY_DIR}")
endfunction()
