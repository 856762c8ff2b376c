# THIRD-PARTY-NOTICES.txt for the Windows .zip: the copyright notices and
# licence texts of the code that the .exe files have linked in from others,
# which several of those licences require beside the binaries. Run once the
# programs are linked, since the list comes from what their links took in,
# as the linker's map of each says:
#
#   cmake -DOUTPUT=<THIRD-PARTY-NOTICES.txt> -DSECTIONS=<folder> -DMAPS=<a.map|b.map|...>
#         -DBUILD_DIR=<build folder> -DQT_NOTES=<Qt notes folder, or ""> -DQT_PREFIX=<Qt's folder>
#         -DTEMPLATE=<THIRD-PARTY-NOTICES.txt.in> -DPROJECT_VERSION=<version>
#         -P third_party_notices.cmake
#
# It writes OUTPUT, with CR LF line ends, and into SECTIONS each component's
# section alone as <component>.txt, for the .zip check to look for; the
# components' names in components.txt; and in linked.txt, for each component,
# what in the links stands for it. A component whose notice cannot be found
# is named all the same, with no file, so that the check fails on it.
#
# The runtime (MinGW-w64 and GCC's libraries): every archive that the links
# took a member from, and every start-up object, outside the build folder and
# Qt's; their notice is the copyright file of the Debian package that holds
# them. Qt (scripts/build-windows-qt.sh leaves the notes): every record of
# third-party code that Qt keeps (qt_attribution.json) whose files one of the
# objects taken from Qt's libraries is built from, by qt-objects.txt.

cmake_minimum_required(VERSION 3.25)

# The files that carry a record's code where neither its Files nor its Path
# say which, while its folder holds Qt's own code too: all of the folder would
# match what the record is not about. A name ending in / is a folder; "-" is
# none, for a record whose files Qt's Makefiles list only because their scan of
# the includes does not see the conditions around them.
set(TOOLS_QT_RECORD_FILES
  # The gradients are compiled in from the file made from the one it names.
  "webgradients src/gui/painting/webgradients.binaryjson"
  # Qt Core's qsimd.cpp includes it on Linux only, to ask whether it runs
  # under Valgrind: its qsimd.o for Windows has none of Valgrind's requests.
  "valgrind -")

# One field of record <index> of a qt_attribution.json, or "" when it has none.
function(tools_attribution_field out json index key)
  string(JSON value ERROR_VARIABLE missing GET "${json}" ${index} ${key})
  if(missing)
    set(value "")
  endif()
  set(${out} "${value}" PARENT_SCOPE)
endfunction()

# Sets <out> to the runtime files (archives and start-up objects) and, for
# each Qt library <lib>.a, qt_members_<lib>.a to the members, that the links
# of MAPS took in.
function(tools_linked_files out)
  string(REPLACE "|" ";" maps "${MAPS}")
  set(files "")
  foreach(map IN LISTS maps)
    # "<archive>(<member>)" at the start of a line: a member the link took,
    # in the map's first part; "LOAD <object>": an object it was given.
    file(STRINGS "${map}" lines REGEX "^(/[^(]+\\.a\\([^)]+\\)|LOAD /.+\\.o)( |$)")
    foreach(line IN LISTS lines)
      if(line MATCHES "^LOAD (.+)$")
        set(path "${CMAKE_MATCH_1}")
        set(member "")
      elseif(line MATCHES "^([^(]+)\\(([^)]+)\\)")
        set(path "${CMAKE_MATCH_1}")
        set(member "${CMAKE_MATCH_2}")
      endif()
      file(REAL_PATH "${path}" path)
      cmake_path(IS_PREFIX BUILD_DIR "${path}" ours)
      if(ours)
        continue()
      endif()
      if(QT_PREFIX)
        cmake_path(IS_PREFIX QT_PREFIX "${path}" from_qt)
        if(from_qt)
          get_filename_component(library "${path}" NAME)
          list(APPEND qt_members_${library} "${member}")
          set(qt_members_${library} "${qt_members_${library}}" PARENT_SCOPE)
          continue()
        endif()
      endif()
      list(APPEND files "${path}")
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES files)
  set(${out} "${files}" PARENT_SCOPE)
endfunction()

# Writes <SECTIONS>/<source package>.txt for each Debian source package that
# <files> come from: which files, from which of its binary packages, and
# those packages' copyright files (a text they share, once). Sets <out> to
# those source packages' names, and to a file's own name where no package
# holds it; appends to the variable linked what stands for each.
function(tools_runtime_sections out files)
  set(sources "")
  foreach(path IN LISTS files)
    get_filename_component(name "${path}" NAME)
    execute_process(COMMAND dpkg-query -S "${path}" OUTPUT_VARIABLE owner ERROR_QUIET)
    # "mingw-w64-x86-64-dev: /usr/x86_64-w64-mingw32/lib/crt2.o"
    if(NOT owner MATCHES "^([^ ,:]+)(:[^ ,:]+)?: ")
      message(WARNING "THIRD-PARTY-NOTICES.txt: no installed package holds ${path}")
      list(APPEND sources "${name}")
      continue()
    endif()
    set(package "${CMAKE_MATCH_1}")
    execute_process(COMMAND dpkg-query -W "-f=\${source:Package}" "${package}"
      OUTPUT_VARIABLE source COMMAND_ERROR_IS_FATAL ANY)
    list(APPEND sources "${source}")
    list(APPEND packages_of_${source} "${package}")
    list(APPEND archives_of_${package} "${name}")
  endforeach()
  list(REMOVE_DUPLICATES sources)

  foreach(source IN LISTS sources)
    if(NOT DEFINED packages_of_${source})
      continue()
    endif()
    list(REMOVE_DUPLICATES packages_of_${source})
    list(GET packages_of_${source} 0 first)
    execute_process(COMMAND dpkg-query -W "-f=\${source:Version}" "${first}"
      OUTPUT_VARIABLE version COMMAND_ERROR_IS_FATAL ANY)
    set(text "${source} ${version} (Debian source package), linked in from its packages\n")
    set(copyrights "")
    set(seen "")
    foreach(package IN LISTS packages_of_${source})
      list(SORT archives_of_${package})
      list(JOIN archives_of_${package} ", " archives)
      string(APPEND linked "${source}: ${package}: ${archives}\n")
      execute_process(COMMAND dpkg-query -W "-f=\${Version}" "${package}"
        OUTPUT_VARIABLE package_version COMMAND_ERROR_IS_FATAL ANY)
      string(APPEND text "  ${package} ${package_version}: ${archives}\n")
      file(READ "/usr/share/doc/${package}/copyright" content)
      # Compared by digest: a list of the texts would split them at each ";".
      string(SHA256 digest "${content}")
      if(NOT digest IN_LIST seen)
        list(APPEND seen "${digest}")
        string(APPEND copyrights "\n${content}")
      endif()
    endforeach()
    file(WRITE "${SECTIONS}/${source}.txt"
      "${text}whose copyright files (/usr/share/doc/<package>/copyright) follow.\n${copyrights}")
  endforeach()
  set(${out} "${sources}" PARENT_SCOPE)
  set(linked "${linked}" PARENT_SCOPE)
endfunction()

# Which of <files> lie in the scope of a record of folder <where>: <scope>
# when given (TOOLS_QT_RECORD_FILES, or its Path), else its Files, else its
# whole folder.
# Sets <out> to them.
function(tools_record_match out where scope record_files files)
  if(NOT scope)
    string(REGEX REPLACE "[ ,]+" ";" scope "${record_files}")
    list(TRANSFORM scope PREPEND "${where}/")
    if(NOT scope)
      set(scope "${where}/")
    endif()
  endif()
  set(found "")
  foreach(entry IN LISTS scope)
    foreach(file IN LISTS files)
      string(FIND "${file}" "${entry}" at)
      if(file STREQUAL entry OR (entry MATCHES "/$" AND at EQUAL 0))
        list(APPEND found "${file}")
      endif()
    endforeach()
  endforeach()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

# Writes <SECTIONS>/<Id>.txt for each record of Qt's bundled code that the
# links took in, from the notes' qt-attribution/ (Qt's records and the
# licence files they name, in the source tree's layout) and qt-objects.txt.
# Sets <out> to those records' Ids; appends to linked what stands for each.
function(tools_qt_sections out)
  # The source files of every member of Qt's libraries that the links took.
  file(STRINGS "${QT_NOTES}/qt-objects.txt" objects)
  set(taken "")
  set(unknown "")
  foreach(object IN LISTS objects)
    string(REPLACE " " ";" object "${object}")
    list(POP_FRONT object library member)
    if(member IN_LIST qt_members_${library})
      list(APPEND found_${library} "${member}")
      foreach(file IN LISTS object)
        list(APPEND taken "${file}")
        # One object for each file, to name in linked.txt.
        if(NOT DEFINED object_of_${file})
          set(object_of_${file} "${library}(${member})")
        endif()
      endforeach()
    endif()
  endforeach()
  list(REMOVE_DUPLICATES taken)
  foreach(library IN LISTS qt_libraries)
    set(missing ${qt_members_${library}})
    if(found_${library})
      list(REMOVE_ITEM missing ${found_${library}})
    endif()
    list(REMOVE_DUPLICATES missing)
    foreach(member IN LISTS missing)
      list(APPEND unknown "${library}(${member})")
    endforeach()
  endforeach()
  if(unknown)
    list(JOIN unknown ", " unknown)
    message(FATAL_ERROR "THIRD-PARTY-NOTICES.txt: ${QT_NOTES}/qt-objects.txt does not say "
      "what these are built from: ${unknown}")
  endif()

  set(ids "")
  set(attribution_dir "${QT_NOTES}/qt-attribution")
  file(GLOB_RECURSE records "${attribution_dir}/*/qt_attribution.json")
  foreach(record IN LISTS records)
    get_filename_component(record_dir "${record}" DIRECTORY)
    file(RELATIVE_PATH where "${attribution_dir}" "${record_dir}")
    file(READ "${record}" json)
    # A record file holds one component or a list of them.
    string(JSON type TYPE "${json}")
    if(type STREQUAL "OBJECT")
      set(json "[${json}]")
    endif()
    string(JSON count LENGTH "${json}")
    math(EXPR last "${count} - 1")
    foreach(index RANGE ${last})
      foreach(key IN ITEMS Id Name Version License Copyright LicenseFile Files Path)
        tools_attribution_field(${key} "${json}" ${index} ${key})
      endforeach()
      set(scope "")
      foreach(entry IN LISTS TOOLS_QT_RECORD_FILES)
        if(entry MATCHES "^${Id} (.+)$")
          list(APPEND scope "${CMAKE_MATCH_1}")
        endif()
      endforeach()
      # A record without Files may name its file, or its folder, in Path.
      if(NOT scope AND NOT Files AND Path)
        set(scope "${where}/${Path}" "${where}/${Path}/")
      endif()
      if(NOT scope AND NOT Files AND NOT where MATCHES "(^|/)3rdparty(/|$)")
        message(WARNING "THIRD-PARTY-NOTICES.txt: Qt's record ${Id} names no files in ${where}, "
          "which holds Qt's own code too; all of the folder is taken for it")
      endif()
      tools_record_match(files "${where}" "${scope}" "${Files}" "${taken}")
      if(NOT files)
        continue()
      endif()
      list(APPEND ids "${Id}")
      set(libraries "")
      foreach(file IN LISTS files)
        string(APPEND linked "${Id}: ${file} in ${object_of_${file}}\n")
        string(REGEX REPLACE "\\(.*" "" library "${object_of_${file}}")
        list(APPEND libraries "${library}")
      endforeach()
      list(REMOVE_DUPLICATES libraries)
      list(JOIN libraries ", " libraries)
      if(Id STREQUAL "grayraster")
        # Its record names FreeType's LICENSE.TXT, which only offers the
        # choice of the FreeType License or the GPL v2. The viewer takes the
        # FreeType License, which asks for this credit in the documentation;
        # Qt's record of FreeType itself names a file with both texts.
        set(LicenseFile "../../3rdparty/freetype/LICENSE.txt")
        string(REGEX MATCH "[0-9]+-[0-9]+" years "${Copyright}")
        string(APPEND Copyright "\nPortions of this software are copyright (C) ${years} "
          "The FreeType Project (www.freetype.org). All rights reserved.")
      endif()
      string(STRIP "${Name} ${Version}" text)
      string(APPEND text "\n  bundled in Qt (${where}), linked in from its ${libraries}\n"
        "  licence: ${License}\n\n${Copyright}\n")
      if(LicenseFile)
        if(NOT EXISTS "${record_dir}/${LicenseFile}")
          message(WARNING "THIRD-PARTY-NOTICES.txt: no ${where}/${LicenseFile} for ${Id}")
          continue()
        endif()
        file(READ "${record_dir}/${LicenseFile}" licence)
        string(APPEND text "\n${licence}")
      endif()
      file(WRITE "${SECTIONS}/${Id}.txt" "${text}")
    endforeach()
  endforeach()
  set(${out} "${ids}" PARENT_SCOPE)
  set(linked "${linked}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE "${SECTIONS}")
# Compared with the real paths of what the maps name.
file(REAL_PATH "${BUILD_DIR}" BUILD_DIR)
if(QT_PREFIX)
  file(REAL_PATH "${QT_PREFIX}" QT_PREFIX)
endif()
set(linked "")
set(qt_libraries "")
tools_linked_files(runtime_files)
get_cmake_property(variables VARIABLES)
list(FILTER variables INCLUDE REGEX "^qt_members_")
list(TRANSFORM variables REPLACE "^qt_members_" "")
set(qt_libraries "${variables}")
tools_runtime_sections(components "${runtime_files}")

set(TOOLS_NOTICES_QT "")
if(QT_NOTES)
  if(NOT EXISTS "${QT_NOTES}/qt-objects.txt")
    message(FATAL_ERROR "THIRD-PARTY-NOTICES.txt: ${QT_NOTES} has no record of what Qt's "
      "libraries are built from; scripts/build-windows-qt.sh adds it to a Qt it built")
  endif()
  tools_qt_sections(qt_components)
  list(APPEND components ${qt_components})
  file(STRINGS "${QT_NOTES}/qt-source.txt" qt_version LIMIT_COUNT 1 REGEX "^Qt [0-9.]+")
  string(REGEX MATCH "^Qt [0-9.]+" qt_version "${qt_version}")
  set(TOOLS_NOTICES_QT "
script_view.exe also has ${qt_version} linked in (bin\\Qt-source.txt says from
which source and how it was built, and how to link the viewer again with
another Qt). Qt's own licence is in bin\\Qt-LICENSE-LGPL-3.0.txt, with the
bin\\Qt-LICENSE-GPL-3.0.txt it builds on. The sections after the runtime's are
the third-party code that Qt bundles and that the viewer has linked in: each
whose files an object that the link took from Qt's libraries is built from.
")
endif()

set(TOOLS_NOTICES_SECTIONS "")
set(missing "")
foreach(component IN LISTS components)
  if(EXISTS "${SECTIONS}/${component}.txt")
    file(READ "${SECTIONS}/${component}.txt" section)
    string(APPEND TOOLS_NOTICES_SECTIONS
      "\n========================================================================\n${section}")
  else()
    list(APPEND missing "${component}")
  endif()
endforeach()
if(missing)
  list(JOIN missing ", " missing)
  message(WARNING "THIRD-PARTY-NOTICES.txt lacks the notice of: ${missing}")
endif()
file(READ "${TEMPLATE}" template)
string(CONFIGURE "${template}" text @ONLY)
# Windows' own editors expect CR LF; a licence text may bring either.
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${OUTPUT}" "${text}")
list(JOIN components "\n" components)
file(WRITE "${SECTIONS}/components.txt" "${components}\n")
file(WRITE "${SECTIONS}/linked.txt" "${linked}")
