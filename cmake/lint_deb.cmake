# CPack runs this after making the .deb: the package fails unless lintian
# finds neither an error nor a warning in it.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  execute_process(COMMAND "${CPACK_TOOLS_LINTIAN}" --fail-on error,warning "${package}"
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "lintian rejects ${package} (status ${status})")
  endif()
  message(STATUS "lintian: no error and no warning in ${package}")
endforeach()
