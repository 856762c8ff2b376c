# Packages of what the build installs (everything under bin/): a .deb on
# Linux and a .zip on Windows.
#
#   cmake --workflow --preset deb           build/release/tamber-tools_<version>_<arch>.deb
#   cmake --workflow --preset windows-zip   build/windows/tamber-tools-<version>-windows-x86_64.zip
#
# or `cpack --preset deb` / `cpack --preset windows-zip` on a finished build.

set(TOOLS_PACKAGE_CONTACT "Tamber tools maintainers" CACHE STRING
  "Maintainer named in the packages, as \"Name <address>\"")

set(CPACK_PACKAGE_NAME "tamber-tools")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_CONTACT "${TOOLS_PACKAGE_CONTACT}")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-windows-${CMAKE_SYSTEM_PROCESSOR}")
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  # The package depends on the shared libraries its programs link, which is
  # Qt (and the C++ runtime) for script_view; the statically linked console
  # programs add nothing.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
