# Run by `cmake --install` before anything is installed: records the prefix
# and which folders of the installed files do not exist yet, with each
# parent folder the install will create on the way, in ORVEL_INSTALL_RECORD,
# so that the uninstall takes away exactly what the install made. A staged
# install (DESTDIR, or CPack's) is no install on this system and records
# nothing. ORVEL_INSTALLED_FILES: the files, relative to the prefix.
if(NOT "$ENV{DESTDIR}" STREQUAL "" OR CMAKE_INSTALL_PREFIX MATCHES "/_CPack_Packages/")
  return()
endif()
set(new_folders "")
foreach(relative IN LISTS ORVEL_INSTALLED_FILES)
  get_filename_component(folder "${CMAKE_INSTALL_PREFIX}/${relative}" DIRECTORY)
  while(NOT EXISTS "${folder}")
    list(APPEND new_folders "${folder}")
    get_filename_component(folder "${folder}" DIRECTORY)
  endwhile()
endforeach()
list(REMOVE_DUPLICATES new_folders)
string(REPLACE ";" "\n" folders "${new_folders}")
file(WRITE "${ORVEL_INSTALL_RECORD}" "${CMAKE_INSTALL_PREFIX}\n${folders}\n")
