# Run by `cmake --install` when the build was configured with
# -DORVEL_INSTALL_SETGID=ON: gives the installed watcher the group that owns
# the keyboards (ORVEL_KEYBOARD_GROUP) and mode 2755, so that any user may
# run it while only it reads the keyboards. A staged install (DESTDIR, as
# CPack and packagers make) keeps mode 0755: the package is made setgid on
# the system it is installed on (dpkg-statoverride).
# Expects ORVEL_KEYBOARD_GROUP and ORVEL_SETGID_PROGRAM (relative to the prefix).
if(NOT "$ENV{DESTDIR}" STREQUAL "")
  message(STATUS "Left 0755, not setgid: a staged install (DESTDIR)")
  return()
endif()
set(program "${CMAKE_INSTALL_PREFIX}/${ORVEL_SETGID_PROGRAM}")
if(IS_ABSOLUTE "${ORVEL_SETGID_PROGRAM}")
  set(program "${ORVEL_SETGID_PROGRAM}")
endif()
execute_process(COMMAND getent group "${ORVEL_KEYBOARD_GROUP}"
                RESULT_VARIABLE missing OUTPUT_QUIET ERROR_QUIET)
if(missing)
  message(FATAL_ERROR "cannot install orvel-keywatcher setgid: there is no group "
    "'${ORVEL_KEYBOARD_GROUP}' here; configure with -DORVEL_KEYBOARD_GROUP=GROUP, the "
    "group of /dev/input/event* (ls -l /dev/input)")
endif()
# chgrp first: a change of group clears the setgid bit. And chmod by an
# owner outside the group drops the bit without failing: the last step looks.
foreach(step "chgrp;${ORVEL_KEYBOARD_GROUP}" "chmod;2755" "test;-g")
  execute_process(COMMAND ${step} "${program}" RESULT_VARIABLE failed ERROR_VARIABLE why)
  if(failed)
    string(STRIP "${why}" why)
    if(why STREQUAL "")
      set(why "the system did not keep the setgid bit")
    endif()
    message(FATAL_ERROR "cannot install orvel-keywatcher setgid '${ORVEL_KEYBOARD_GROUP}': ${why} "
      "(run the install as root: sudo cmake --install ...)")
  endif()
endforeach()
message(STATUS "Setgid '${ORVEL_KEYBOARD_GROUP}', mode 2755: ${program}")
