if(ZORVANE_TESTS)
  enable_testing()
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

# zv_add_tests(name SOURCES a.cpp b.cpp LIBS lib1 lib2): one GoogleTest executable per subsystem.
function(zv_add_tests name)
  if(NOT ZORVANE_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    ZV_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    ZV_TESTDATA_DIR="${CMAKE_SOURCE_DIR}/../shared/testdata"
    ZV_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS unit ENVIRONMENT "SDL_VIDEODRIVER=offscreen;SDL_AUDIODRIVER=dummy;SDL_NO_SIGNAL_HANDLERS=1;ALSOFT_DRIVERS=null")
endfunction()

# zv_add_library(name DIRS d1 d2 LIBS l1 l2): a static library of every .cpp in the given folders of
# the current directory (new files are picked up without editing CMake), plus `<name>_tests` from
# the folder's tests/*.cpp when any exist.
function(zv_add_library name)
  cmake_parse_arguments(L "" "" "DIRS;LIBS;TEST_LIBS" ${ARGN})
  set(sources)
  foreach(d . ${L_DIRS})
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${d}/*.cpp)
    list(APPEND sources ${found})
  endforeach()
  add_library(${name} STATIC ${sources} ${CMAKE_SOURCE_DIR}/cmake/empty.cpp)
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${L_LIBS})
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/*.cpp)
  if(tests)
    zv_add_tests(${name}_tests SOURCES ${tests} LIBS ${name} ${L_TEST_LIBS})
  endif()
endfunction()
