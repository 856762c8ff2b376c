# Packages of what the build installs, each with its bill of materials and
# the same bytes whoever makes it, where and when (cmake/package_steps.cmake):
#
#   cmake --workflow --preset deb           build/release/tamber-tools_<version>_amd64.deb (cmake/deb.cmake)
#   cmake --workflow --preset deb-arm64     build/aarch64-release/tamber-tools_<version>_arm64.deb
#   cmake --workflow --preset windows-zip   build/windows/tamber-tools-<version>-windows-x86_64.zip (cmake/zip.cmake)
#
# or `cpack --preset <the same>` on a finished build.
set(CPACK_PACKAGE_NAME "tamber-tools")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION "\
Four small programs that a calculation application calls through files in
its working directory: volume_table copies the region-volume tables out of a
result file, line_count and point_count count the lines of a file, and
script_view shows a text file in a window.")
# The project's role address; cmake/debian/changelog names the same.
set(CPACK_PACKAGE_CONTACT "Tamber tools maintainers <maintainers@tamber-tools.example>")
set(CPACK_STRIP_FILES ON)
# Folders as Debian wants them, whatever the umask of whoever builds.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PRE_BUILD_SCRIPTS "${CMAKE_CURRENT_LIST_DIR}/package_steps.cmake")
set(CPACK_POST_BUILD_SCRIPTS "${CMAKE_CURRENT_LIST_DIR}/package_steps.cmake")
# Debian's own Python where there is one: its python3-jsonschema checks the
# bills of materials.
find_program(TOOLS_PYTHON NAMES python3 HINTS /usr/bin)
if(NOT TOOLS_PYTHON)
  message(STATUS "No Python 3: the packages cannot be made (scripts/install-deps.sh installs it)")
endif()
set(CPACK_TOOLS_PYTHON "${TOOLS_PYTHON}")
set(CPACK_TOOLS_THIRD_PARTY "${CMAKE_CURRENT_LIST_DIR}/third_party.py")
set(CPACK_TOOLS_PARTS "${PROJECT_BINARY_DIR}/third_party")
set(CPACK_TOOLS_SOURCE_DATE_EPOCH "${TOOLS_SOURCE_DATE_EPOCH}")
set(CPACK_TOOLS_SCHEMA "${PROJECT_SOURCE_DIR}/tests/spdx/spdx-schema-2.3.json")
get_property(TOOLS_PROGRAMS GLOBAL PROPERTY TOOLS_PROGRAMS)
if(WIN32)
  include(zip)
else()
  include(deb)
endif()
include(CPack)
