# A GoogleTest program of the project, registered with ctest.
function(quorvel_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;DEPENDS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPENDS} GTest::gtest GTest::gtest_main)
  quorvel_warnings(${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT ${ARG_TIMEOUT} LABELS "${ARG_LABELS}")
endfunction()

# A GoogleTest program that runs inside a Qt event loop: a core application,
# or with WIDGETS a widget application on the offscreen platform.
function(quorvel_qt_test name)
  cmake_parse_arguments(ARG "WIDGETS" "TIMEOUT" "SOURCES;DEPENDS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/tests/support/qt_test_main.cpp)
  if(ARG_WIDGETS)
    find_package(Qt6 REQUIRED COMPONENTS Widgets)
    target_link_libraries(${name} PRIVATE Qt6::Widgets)
    target_compile_definitions(${name} PRIVATE QUORVEL_TEST_WIDGETS)
  else()
    find_package(Qt6 REQUIRED COMPONENTS Core)
  endif()
  target_link_libraries(${name} PRIVATE ${ARG_DEPENDS} Qt6::Core GTest::gtest)
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  quorvel_warnings(${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT ${ARG_TIMEOUT} LABELS "${ARG_LABELS}" ENVIRONMENT QT_QPA_PLATFORM=offscreen)
endfunction()

# Tells a test program where python3 is, as QUORVEL_PYTHON, for the
# independent readers it runs (Pillow, xlrd): Debian's python3, which
# Debian's python3-* packages serve.
function(quorvel_test_python target)
  if(EXISTS /usr/bin/python3)
    set(python /usr/bin/python3)
  else()
    find_program(python NAMES python3)
  endif()
  if(python)
    target_compile_definitions(${target} PRIVATE QUORVEL_PYTHON="${python}")
  endif()
endfunction()
