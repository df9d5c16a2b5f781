# Read by cpack for each package it makes. The window looks for the installed manual in the
# documentation folder of the prefix it was configured with; a package under another prefix
# would ship a Help that finds nothing.
if(NOT CPACK_QUORVEL_INSTALL_PREFIX STREQUAL CPACK_PACKAGING_INSTALL_PREFIX)
  message(FATAL_ERROR "The package installs under ${CPACK_PACKAGING_INSTALL_PREFIX}, but this "
    "build was configured for ${CPACK_QUORVEL_INSTALL_PREFIX}: configure it with "
    "-DCMAKE_INSTALL_PREFIX=${CPACK_PACKAGING_INSTALL_PREFIX} (scripts/package.sh does).")
endif()
