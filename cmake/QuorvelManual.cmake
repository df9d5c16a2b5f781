# Where Help may look for "user manual.pdf" besides the working folder and
# the installed documentation: the build tree, where docs/manual writes it.
# A developer's build looks there last, so that Help works on a fresh build
# run from any folder. A Release build for an install prefix of its own
# choosing (what a package or `cmake --install` ships) never does: the
# program would read files from a folder of the machine that built it.
#
# The prefix counts as chosen unless it is still the default that the
# first configure of this build tree gave it.
function(quorvel_manual_in_build_tree result build_type install_prefix default_prefix)
  string(TOUPPER "${build_type}" type)
  if(type MATCHES "^(RELEASE|MINSIZEREL)$" AND NOT "${install_prefix}" STREQUAL "${default_prefix}")
    set(${result} OFF PARENT_SCOPE)
  else()
    set(${result} ON PARENT_SCOPE)
  endif()
endfunction()
