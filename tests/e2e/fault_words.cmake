# The Linux-only case words (SPARSE, CHMOD, APPEND, AS_NOBODY,
# FILE_SIZE_LIMIT, READ_FAILS, MAX_RSS_KIB, FIFO, CUT_SHORT; see
# parse_case.cmake) for run_case.cmake, which calls these from its e2e_case,
# where the case_* variables are set. They do nothing for a case that uses none of the words.
# LAUNCHER is e2e_launch, run through the emulator of a cross build.

# A case run as uid 65534 cannot be run from the build tree, which may lie
# where that user cannot reach (under /root, mode 700): its directory and a
# copy of the program go into a fresh directory under /tmp instead.
function(e2e_fault_place dir_var program_var)
  if(NOT case_as_nobody)
    return()
  endif()
  string(RANDOM LENGTH 12 ALPHABET "0123456789abcdef" tag)
  set(base "/tmp/tools-e2e-${case_name}-${tag}")
  if(EXISTS "${base}")
    message(FATAL_ERROR "${base} exists already")
  endif()
  file(MAKE_DIRECTORY "${base}/bin")
  file(COPY "${PROGRAM}" DESTINATION "${base}/bin" FILE_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  file(CHMOD "${base}" "${base}/bin" PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  get_filename_component(name "${PROGRAM}" NAME)
  set(${dir_var} "${base}/work" PARENT_SCOPE)
  set(${program_var} "${base}/bin/${name}" PARENT_SCOPE)
endfunction()

function(e2e_fault_need_launcher)
  if(NOT EXISTS "${LAUNCHER}")
    message(FATAL_ERROR "case ${case_name} needs e2e_launch, which this build has not")
  endif()
endfunction()

# After GIVEN, MKDIR and SYMLINK: what another user may write, then SPARSE,
# CHMOD and APPEND.
function(e2e_fault_setup dir)
  if(case_as_nobody)
    # Writable by all, like the caller's own directory, unless CHMOD says
    # otherwise. Symbolic links are left alone: their targets are not ours.
    set(all OWNER_READ OWNER_WRITE GROUP_READ GROUP_WRITE WORLD_READ WORLD_WRITE)
    file(GLOB_RECURSE entries LIST_DIRECTORIES true "${dir}/*")
    foreach(entry IN LISTS entries ITEMS "${dir}")
      if(IS_SYMLINK "${entry}")
        continue()
      elseif(IS_DIRECTORY "${entry}")
        file(CHMOD "${entry}" PERMISSIONS ${all} OWNER_EXECUTE GROUP_EXECUTE WORLD_EXECUTE)
      else()
        file(CHMOD "${entry}" PERMISSIONS ${all})
      endif()
    endforeach()
  endif()
  set(setup "")
  foreach(name IN LISTS case_sparse_names)
    list(APPEND setup --sparse "${name}" "${case_sparse_${name}}")
  endforeach()
  foreach(path IN LISTS case_chmod_paths)
    list(APPEND setup --chmod "${path}" "${case_chmod_${path}}")
  endforeach()
  if(setup)
    e2e_fault_need_launcher()
    execute_process(COMMAND ${emulator} "${LAUNCHER}" --setup ${setup}
      WORKING_DIRECTORY "${dir}" RESULT_VARIABLE status ERROR_VARIABLE err)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "setting up case ${case_name} failed: ${err}")
    endif()
  endif()
  foreach(name IN LISTS case_append_names)
    file(APPEND "${dir}/${name}" "${case_append_${name}}")
  endforeach()
endfunction()

# The launcher and its options to put before the program, or nothing.
function(e2e_fault_launch dir out_var)
  set(launch "")
  if(NOT case_file_size_limit STREQUAL "")
    list(APPEND launch --file-size-limit "${case_file_size_limit}")
  endif()
  if(case_as_nobody)
    list(APPEND launch --as-nobody)
  endif()
  if(NOT case_read_fails_file STREQUAL "")
    list(APPEND launch --read-fails "${case_read_fails_file}" "${case_read_fails_count}")
  endif()
  if(case_cut_short)
    list(APPEND launch --cut-short ${case_cut_short})
  endif()
  if(NOT case_max_rss_kib STREQUAL "")
    # Beside the working directory, so it is no output of the program.
    file(REMOVE "${dir}.maxrss")
    list(APPEND launch --rss-file "${dir}.maxrss")
  endif()
  # What each FIFO's writer writes waits beside the working directory too.
  set(i 0)
  foreach(name IN LISTS case_fifo_names)
    file(WRITE "${dir}.fifo${i}" "${case_fifo_${name}}")
    list(APPEND launch --fifo "${name}" "${dir}.fifo${i}")
    math(EXPR i "${i} + 1")
  endforeach()
  if(launch)
    e2e_fault_need_launcher()
    set(launch "${LAUNCHER}" ${launch} --)
  endif()
  set(${out_var} "${launch}" PARENT_SCOPE)
endfunction()

# Right after the run: the modes CHMOD took away given back to the owner, so
# that the checks can read the files and a later run can remove them even
# when the tests do not run as root.
function(e2e_fault_restore dir)
  foreach(path IN LISTS case_chmod_paths)
    set(modes OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    if(IS_DIRECTORY "${dir}/${path}")
      list(APPEND modes OWNER_EXECUTE GROUP_EXECUTE WORLD_EXECUTE)
    endif()
    file(CHMOD "${dir}/${path}" PERMISSIONS ${modes})
  endforeach()
endfunction()

# After the checks: the memory bound, then clean-up of what is large or lies
# outside the build tree.
function(e2e_fault_finish dir)
  if(NOT case_max_rss_kib STREQUAL "")
    if(EXISTS "${dir}.maxrss")
      file(STRINGS "${dir}.maxrss" rss LIMIT_COUNT 1)
      message(STATUS "peak resident set: ${rss} KiB (bound ${case_max_rss_kib} KiB)")
      if(rss GREATER case_max_rss_kib)
        message(SEND_ERROR "peak resident set ${rss} KiB, more than ${case_max_rss_kib} KiB")
      endif()
    else()
      message(SEND_ERROR "the launcher did not report the peak resident set")
    endif()
  endif()
  # A 1 GiB hole costs no disk, but would not stay a hole in a copy or an
  # archive of the build tree.
  foreach(name IN LISTS case_sparse_names)
    file(REMOVE "${dir}/${name}")
  endforeach()
  set(i 0)
  foreach(name IN LISTS case_fifo_names)
    file(REMOVE "${dir}.fifo${i}")
    math(EXPR i "${i} + 1")
  endforeach()
  if(case_as_nobody)
    get_filename_component(base "${dir}" DIRECTORY)
    file(REMOVE_RECURSE "${base}")
  endif()
endfunction()
