# The package a player downloads, in one folder: the adapter, the guides, the changes, the
# licence and the notices of the libraries linked into the adapter, their versions as the
# toolchain gives them. The Windows package holds the guides, the changes, the licence and
# the notices also as text files for Notepad, made from the ones kept here.

# GCC's release, as GCC itself names it. Debian's MinGW-w64 GCC names itself "12-posix"
# (its macros, and so CMake, say 12.0.0): its package then names the release, 12.2.0.
set(ORV_GCC_VERSION ${CMAKE_CXX_COMPILER_VERSION})
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -dumpfullversion OUTPUT_VARIABLE ORV_GCC_VERSION
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(NOT ORV_GCC_VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+$")
    get_filename_component(compiler ${CMAKE_CXX_COMPILER} REALPATH)
    execute_process(COMMAND dpkg-query -S ${compiler} OUTPUT_VARIABLE owner ERROR_QUIET)
    string(REGEX REPLACE ":.*" "" owner "${owner}")
    execute_process(COMMAND dpkg-query -W -f=\${Version} ${owner} OUTPUT_VARIABLE release
                    ERROR_QUIET)
    if(release MATCHES "^([0-9]+\\.[0-9]+\\.[0-9]+)")
      set(ORV_GCC_VERSION ${CMAKE_MATCH_1})
    else()
      message(WARNING "The notices name GCC ${ORV_GCC_VERSION}: its release cannot be told")
    endif()
  endif()
endif()
if(WIN32)
  # The runtime's own version, as its headers state it.
  file(WRITE ${CMAKE_BINARY_DIR}/mingw_version.cpp "#include <_mingw.h>\n")
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -dM -E ${CMAKE_BINARY_DIR}/mingw_version.cpp
                  OUTPUT_VARIABLE defines)
  foreach(part MAJOR MINOR BUGFIX)
    if(NOT defines MATCHES "__MINGW64_VERSION_${part} ([0-9]+)")
      message(FATAL_ERROR "The MinGW-w64 version cannot be read from its headers")
    endif()
    list(APPEND ORV_MINGW_VERSION ${CMAKE_MATCH_1})
  endforeach()
  list(JOIN ORV_MINGW_VERSION "." ORV_MINGW_VERSION)
  configure_file(packaging/NOTICES-windows.txt NOTICES-windows.txt @ONLY)
else()
  configure_file(packaging/NOTICES-linux.txt NOTICES.txt @ONLY)
endif()

install(TARGETS orv_molvara RUNTIME DESTINATION .)
install(FILES README.md README.ja.md CHANGELOG.md LICENSE DESTINATION .)
if(WIN32)
  set(ORV_TEXT_FILES)
  foreach(row "README.md=README.txt=markdown" "README.ja.md=README.ja.txt=markdown"
              "CHANGELOG.md=CHANGELOG.txt=markdown" "LICENSE=LICENSE.txt=plain"
              "${CMAKE_BINARY_DIR}/NOTICES-windows.txt=NOTICES.txt=plain")
    string(REPLACE "=" ";" row "${row}")
    list(GET row 0 source)
    list(GET row 1 text)
    list(GET row 2 mode)
    get_filename_component(source "${source}" ABSOLUTE BASE_DIR ${CMAKE_SOURCE_DIR})
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${text}
      COMMAND ${CMAKE_COMMAND} -DIN=${source} -DOUT=${CMAKE_BINARY_DIR}/${text} -DMODE=${mode}
              -P ${CMAKE_SOURCE_DIR}/cmake/text_guide.cmake
      DEPENDS ${source} ${CMAKE_SOURCE_DIR}/cmake/text_guide.cmake)
    list(APPEND ORV_TEXT_FILES ${CMAKE_BINARY_DIR}/${text})
  endforeach()
  add_custom_target(text_files DEPENDS ${ORV_TEXT_FILES})
  add_dependencies(orv_molvara text_files)
  install(FILES ${ORV_TEXT_FILES} DESTINATION .)
else()
  install(FILES ${CMAKE_BINARY_DIR}/NOTICES.txt DESTINATION .)
endif()

set(CPACK_PACKAGE_NAME orv)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(ORV_PACKAGE_SYSTEM windows-x64)
else()
  set(CPACK_GENERATOR TGZ)
  string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" ORV_PACKAGE_SYSTEM)
endif()
set(CPACK_PACKAGE_FILE_NAME orv-${PROJECT_VERSION}-${ORV_PACKAGE_SYSTEM})
set(CPACK_STRIP_FILES ON)
include(CPack)
