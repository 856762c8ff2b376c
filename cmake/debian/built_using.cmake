# CPack reads this as it starts packaging (CPACK_PROJECT_CONFIG_FILE). The
# console programs have the C and C++ runtimes linked in, so Debian asks the
# package to name those libraries' source packages, at exactly the versions
# built with, in Built-Using. They are found now, from the packages that hold
# the archives the compiler links, so that the field follows the machine's
# libraries rather than what they were when the build was configured.

if(NOT CPACK_GENERATOR STREQUAL "DEB" OR NOT CPACK_TOOLS_STATIC_ARCHIVES)
  return()
endif()

set(sources "")
foreach(archive IN LISTS CPACK_TOOLS_STATIC_ARCHIVES)
  execute_process(COMMAND "${CPACK_TOOLS_CXX_COMPILER}" -print-file-name=${archive}
    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  # The compiler names it through its own folders (.../12/../../../libc.a);
  # dpkg knows the plain path.
  file(REAL_PATH "${path}" path)
  execute_process(COMMAND dpkg-query -S "${path}"
    OUTPUT_VARIABLE owner RESULT_VARIABLE status ERROR_QUIET)
  # "libc6-dev:amd64: /usr/lib/x86_64-linux-gnu/libc.a"
  if(NOT status EQUAL 0 OR NOT owner MATCHES "^([^ ,]+): ")
    message(FATAL_ERROR "Built-Using: no installed package holds ${path}, which the programs link")
  endif()
  execute_process(COMMAND dpkg-query -W "-f=\${source:Package} (= \${source:Version})" "${CMAKE_MATCH_1}"
    OUTPUT_VARIABLE source COMMAND_ERROR_IS_FATAL ANY)
  list(APPEND sources "${source}")
endforeach()
list(REMOVE_DUPLICATES sources)
list(SORT sources)
list(JOIN sources ", " CPACK_TOOLS_BUILT_USING)

# CPack has no variable for this field, but writes each field's value as it is
# given: the field rides on the Section line, and the .deb check proves that
# it arrived.
string(APPEND CPACK_DEBIAN_PACKAGE_SECTION "\nBuilt-Using: ${CPACK_TOOLS_BUILT_USING}")
