# A GoogleTest program of this tree:
#   fwu_gtest(<target> SOURCES <file>... [LINK <library>...] [DEPENDS <target>...]
#             [DISCOVER <gtest_discover_tests option>...] [NO_DISCOVERY])
# linked with GoogleTest's main and the project's warnings; its cases are listed by running it
# before the tests run (a program that starts others need not be built to configure). DISCOVER
# adds options to that listing (PROPERTIES, TEST_FILTER, ...); NO_DISCOVERY leaves it to the
# caller, for a program whose cases are registered in several groups.
function(fwu_gtest target)
  cmake_parse_arguments(T "NO_DISCOVERY" "" "SOURCES;LINK;DEPENDS;DISCOVER" ${ARGN})
  add_executable(${target} ${T_SOURCES})
  target_link_libraries(${target} PRIVATE ${T_LINK} GTest::gtest_main)
  fwu_warnings(${target})
  if(T_DEPENDS)
    add_dependencies(${target} ${T_DEPENDS})
  endif()
  if(NOT T_NO_DISCOVERY)
    include(GoogleTest)
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST ${T_DISCOVER})
  endif()
endfunction()
