# Which builds let Help look for the user manual in their build tree.
# Run by ctest: cmake -DMODULE=<cmake/QuorvelManual.cmake> -P <this file>
cmake_minimum_required(VERSION 3.25)
include("${MODULE}")

# build type | install prefix | the first configure's default | looks in the build tree
set(cases
  "Release|/usr|/usr/local|OFF"
  "release|/opt/quorvel||OFF"
  "MinSizeRel|/usr||OFF"
  "Release|/usr/local|/usr/local|ON"
  "Debug|/usr|/usr/local|ON"
  "RelWithDebInfo|/usr||ON"
  "|/usr||ON")
set(failed 0)
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 build_type)
  list(GET fields 1 prefix)
  list(GET fields 2 default_prefix)
  list(GET fields 3 expected)
  quorvel_manual_in_build_tree(got "${build_type}" "${prefix}" "${default_prefix}")
  if(NOT got STREQUAL expected)
    message(SEND_ERROR "${case}: got ${got}")
    set(failed 1)
  endif()
endforeach()
if(failed)
  message(FATAL_ERROR "the build tree rule failed")
endif()
