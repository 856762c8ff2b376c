# Installs this version's own source into the .zip (cmake/zip.cmake gives
# TOOLS_GIT, TOOLS_SOURCE, TOOLS_SOURCE_ZIP and TOOLS_SOURCE_TOP): the commit
# checked out, made when the .zip is, so that it is the source of what was
# built. Its entries' times are the commit's, written in UTC.
set(source_zip "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${TOOLS_SOURCE_ZIP}")
execute_process(COMMAND "${TOOLS_GIT}" status --porcelain --untracked-files=no
  WORKING_DIRECTORY "${TOOLS_SOURCE}" OUTPUT_VARIABLE changed)
if(changed)
  message(WARNING "${TOOLS_SOURCE_ZIP} is the last commit, without the changes since")
endif()
get_filename_component(folder "${source_zip}" DIRECTORY)
file(MAKE_DIRECTORY "${folder}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E env TZ=UTC "${TOOLS_GIT}" archive --format=zip
    "--prefix=${TOOLS_SOURCE_TOP}/" -o "${source_zip}" HEAD
  WORKING_DIRECTORY "${TOOLS_SOURCE}" COMMAND_ERROR_IS_FATAL ANY)
