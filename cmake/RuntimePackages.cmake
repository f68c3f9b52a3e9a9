# The packages a technician installs to run the unpacked folder, read from their one
# list (packaging/runtime-packages). GUIDE.md shows them as one apt line; configuring
# stops when that line is not the list, so the guide cannot drift from what the
# programs link. KVT_RUNTIME_PACKAGES holds the list, KVT_RUNTIME_PACKAGE_NAMES the same
# names separated by blanks (for the tests).
set(kvt_runtime_list ${CMAKE_SOURCE_DIR}/packaging/runtime-packages)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${kvt_runtime_list} ${CMAKE_SOURCE_DIR}/GUIDE.md)
file(STRINGS ${kvt_runtime_list} kvt_runtime_lines)
set(KVT_RUNTIME_PACKAGES)
foreach(line IN LISTS kvt_runtime_lines)
  string(STRIP "${line}" line)
  if(line AND NOT line MATCHES "^#")
    list(APPEND KVT_RUNTIME_PACKAGES ${line})
  endif()
endforeach()
list(JOIN KVT_RUNTIME_PACKAGES " " KVT_RUNTIME_PACKAGE_NAMES)
set(kvt_apt_line "    sudo apt-get install ${KVT_RUNTIME_PACKAGE_NAMES}")
file(STRINGS ${CMAKE_SOURCE_DIR}/GUIDE.md kvt_guide_apt REGEX "^ +sudo apt-get install ")
if(NOT kvt_guide_apt STREQUAL kvt_apt_line)
  message(FATAL_ERROR "GUIDE.md, \"What the computer needs\": the apt line must name the "
                      "packages of packaging/runtime-packages, in its order:\n${kvt_apt_line}\n"
                      "It reads:\n${kvt_guide_apt}")
endif()
