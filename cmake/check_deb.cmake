# CPack runs this after making the .deb: the package fails unless its
# Built-Using field names what cmake/debian/built_using.cmake found, and
# lintian finds neither an error nor a warning in it.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(CPACK_TOOLS_STATIC_ARCHIVES)
    execute_process(COMMAND dpkg-deb -f "${package}" Built-Using
      OUTPUT_VARIABLE built_using OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status)
    if(NOT status EQUAL 0 OR NOT built_using OR NOT built_using STREQUAL CPACK_TOOLS_BUILT_USING)
      message(FATAL_ERROR "${package}: Built-Using is \"${built_using}\", "
        "expected \"${CPACK_TOOLS_BUILT_USING}\" for its statically linked programs")
    endif()
    message(STATUS "Built-Using: ${built_using}")
  endif()

  if(CPACK_TOOLS_LINTIAN)
    execute_process(COMMAND "${CPACK_TOOLS_LINTIAN}" --fail-on error,warning "${package}"
      RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "lintian rejects ${package} (status ${status})")
    endif()
    message(STATUS "lintian: no error and no warning in ${package}")
  endif()
endforeach()
