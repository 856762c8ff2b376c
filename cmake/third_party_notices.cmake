# THIRD-PARTY-NOTICES.txt for the Windows .zip: the copyright notices and
# licence texts of the code that the .exe files have linked in from others,
# which several of those licences require beside the binaries.
#
#   tools_third_party_notices(<output file> <Qt notes folder, or "" without the viewer>)
#
# writes the file from cmake/windows/THIRD-PARTY-NOTICES.txt.in with CR LF
# line ends, and each component's section also alone, as
# <build>/third_party_notices/<component>.txt, for the .zip check to look
# for; it sets TOOLS_NOTICE_COMPONENTS to the components' names. A component
# whose notice cannot be found is named all the same, with no file, so that
# the check fails on it.

# Every .exe: what a static g++ link of MinGW-w64's posix thread model takes
# from the runtime (the start-up objects, the C runtime, winpthreads behind
# std::thread and std::mutex, libgcc and libstdc++), by the files its link
# line names. Their notice is the copyright file of the Debian package that
# holds them.
set(TOOLS_RUNTIME_ARCHIVES crt2.o crtbegin.o libmingw32.a libmingwex.a libmsvcrt.a
  libpthread.a libgcc.a libgcc_eh.a libstdc++.a)

# script_view.exe: the third-party code that Qt bundles into what the viewer
# links (Qt Core, Qt Gui, Qt Widgets and the Windows platform plugin, as
# scripts/build-windows-qt.sh configures them), by the Ids of Qt's
# qt_attribution.json records. Left out, as configured away or not built for
# Windows: ANGLE, FreeType, HarfBuzz, libjpeg, the OpenGL and Vulkan headers,
# D-Bus, forkfd, pixman, and the macOS, Android, X11 and WebAssembly parts;
# and Qt Test's, which only the tests link.
set(TOOLS_QT_BUNDLED
  # Qt Core
  doubleconversion easing freebsd md4 md5 pcre2 pcre2-sljit psl rfc6234 sha1 sha3_endian
  sha3_keccak tinycbor zlib qbig5codecs qeucjpcodec qeuckrcodec qjiscodec qsjiscodec
  qtsciicodec qbkcodec unicode-character-database unicode-cldr
  # Qt Gui
  libpng md4c grayraster smooth-scaling-algorithm webgradients xserverhelper aglfn
  icc-sRGB-color-profile)

# One field of record <index> of a qt_attribution.json, or "" when it has none.
function(tools_attribution_field out json index key)
  string(JSON value ERROR_VARIABLE missing GET "${json}" ${index} ${key})
  if(missing)
    set(value "")
  endif()
  set(${out} "${value}" PARENT_SCOPE)
endfunction()

# Writes <dir>/<Id>.txt for each TOOLS_QT_BUNDLED record below
# <attribution dir>, which holds Qt's qt_attribution.json files and the
# licence files they name in the source tree's layout.
function(tools_qt_sections attribution_dir dir)
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
      string(JSON id GET "${json}" ${index} Id)
      if(NOT id IN_LIST TOOLS_QT_BUNDLED)
        continue()
      endif()
      foreach(key IN ITEMS Name Version QDocModule License Copyright LicenseFile)
        tools_attribution_field(${key} "${json}" ${index} ${key})
      endforeach()
      set(module "${QDocModule}")
      if(module STREQUAL "qtcore")
        set(module "Qt Core")
      elseif(module STREQUAL "qtgui")
        set(module "Qt Gui")
      endif()
      if(id STREQUAL "grayraster")
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
      string(APPEND text "\n  bundled in ${module} (${where})\n  licence: ${License}\n\n${Copyright}\n")
      if(LicenseFile)
        if(NOT EXISTS "${record_dir}/${LicenseFile}")
          message(WARNING "THIRD-PARTY-NOTICES.txt: no ${where}/${LicenseFile} for ${id}")
          continue()
        endif()
        file(READ "${record_dir}/${LicenseFile}" licence)
        string(APPEND text "\n${licence}")
      endif()
      file(WRITE "${dir}/${id}.txt" "${text}")
    endforeach()
  endforeach()
endfunction()

# Writes <dir>/<source package>.txt for each Debian source package that
# TOOLS_RUNTIME_ARCHIVES come from: which archives, from which of its binary
# packages, and those packages' copyright files (a text they share, once).
# Sets <out> to those source packages' names, and to an archive's own name
# where no package holds it.
function(tools_runtime_sections out dir)
  set(sources "")
  foreach(archive IN LISTS TOOLS_RUNTIME_ARCHIVES)
    execute_process(COMMAND "${CMAKE_CXX_COMPILER}" -print-file-name=${archive}
      OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    # The compiler names it through its own folders (.../12-posix/../../..);
    # dpkg knows the plain path.
    file(REAL_PATH "${path}" path)
    execute_process(COMMAND dpkg-query -S "${path}" OUTPUT_VARIABLE owner ERROR_QUIET)
    # "mingw-w64-x86-64-dev: /usr/x86_64-w64-mingw32/lib/crt2.o"
    if(NOT owner MATCHES "^([^ ,:]+)(:[^ ,:]+)?: ")
      message(WARNING "THIRD-PARTY-NOTICES.txt: no installed package holds ${path}")
      list(APPEND sources "${archive}")
      continue()
    endif()
    set(package "${CMAKE_MATCH_1}")
    execute_process(COMMAND dpkg-query -W "-f=\${source:Package}" "${package}"
      OUTPUT_VARIABLE source COMMAND_ERROR_IS_FATAL ANY)
    list(APPEND sources "${source}")
    list(APPEND packages_of_${source} "${package}")
    list(APPEND archives_of_${package} "${archive}")
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
      list(JOIN archives_of_${package} ", " archives)
      execute_process(COMMAND dpkg-query -W "-f=\${Version}" "${package}"
        OUTPUT_VARIABLE package_version COMMAND_ERROR_IS_FATAL ANY)
      string(APPEND text "  ${package} ${package_version}: ${archives}\n")
      set(copyright "/usr/share/doc/${package}/copyright")
      set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${copyright}")
      file(READ "${copyright}" content)
      # Compared by digest: a list of the texts would split them at each ";".
      string(SHA256 digest "${content}")
      if(NOT digest IN_LIST seen)
        list(APPEND seen "${digest}")
        string(APPEND copyrights "\n${content}")
      endif()
    endforeach()
    file(WRITE "${dir}/${source}.txt"
      "${text}whose copyright files (/usr/share/doc/<package>/copyright) follow.\n${copyrights}")
  endforeach()
  set(${out} "${sources}" PARENT_SCOPE)
endfunction()

function(tools_third_party_notices output qt_notes)
  set(dir "${PROJECT_BINARY_DIR}/third_party_notices")
  file(REMOVE_RECURSE "${dir}")
  tools_runtime_sections(components "${dir}")
  set(TOOLS_NOTICES_QT "")
  if(qt_notes)
    if(IS_DIRECTORY "${qt_notes}/qt-attribution")
      set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${qt_notes}/qt-source.txt")
      tools_qt_sections("${qt_notes}/qt-attribution" "${dir}")
      file(STRINGS "${qt_notes}/qt-source.txt" qt_version LIMIT_COUNT 1 REGEX "^Qt [0-9.]+")
      string(REGEX MATCH "^Qt [0-9.]+" qt_version "${qt_version}")
      set(TOOLS_NOTICES_QT "
script_view.exe also has ${qt_version} linked in (bin\\Qt-source.txt says from
which source and how it was built). Qt's own licence is in
bin\\Qt-LICENSE-LGPL-3.0.txt, with the bin\\Qt-LICENSE-GPL-3.0.txt it builds
on. The sections after the runtime's are the third-party code that Qt bundles
into the parts of it that the viewer links: Qt Core, Qt Gui, Qt Widgets and
the Windows platform plugin.
")
    else()
      message(WARNING "THIRD-PARTY-NOTICES.txt: ${qt_notes} has no record of the code "
        "that Qt bundles; scripts/build-windows-qt.sh adds it to a Qt it built")
    endif()
    list(APPEND components ${TOOLS_QT_BUNDLED})
  endif()

  set(TOOLS_NOTICES_SECTIONS "")
  set(missing "")
  foreach(component IN LISTS components)
    if(EXISTS "${dir}/${component}.txt")
      file(READ "${dir}/${component}.txt" section)
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
  set(template "${PROJECT_SOURCE_DIR}/cmake/windows/THIRD-PARTY-NOTICES.txt.in")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${template}")
  file(READ "${template}" template)
  string(CONFIGURE "${template}" text @ONLY)
  # Windows' own editors expect CR LF; a licence text may bring either.
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE "${output}.new" "${text}")
  file(COPY_FILE "${output}.new" "${output}" ONLY_IF_DIFFERENT)
  file(REMOVE "${output}.new")
  set(TOOLS_NOTICE_COMPONENTS "${components}" PARENT_SCOPE)
endfunction()
