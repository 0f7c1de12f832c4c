# Run by `cmake --install` when the build was configured with
# -DORVEL_INSTALL_SETGID=ON: gives the installed watcher the group that owns
# the keyboards (ORVEL_KEYBOARD_GROUP) and mode 2755, so that any user may
# run it while only it reads the keyboards. Twice: ORVEL_SETGID_STEP "check",
# before anything is installed, fails where the group is missing or the
# file system would ignore the bit (mounted nosuid), so that a failed
# install leaves nothing behind; "set", after everything is in place, sets
# the bit and sees it kept. A staged install (DESTDIR, as CPack and
# packagers make) keeps mode 0755: the package is made setgid on the system
# it is installed on (dpkg-statoverride).
# Expects ORVEL_KEYBOARD_GROUP, ORVEL_SETGID_PROGRAM (relative to the prefix)
# and ORVEL_SETGID_STEP.
if(NOT "$ENV{DESTDIR}" STREQUAL "")
  if(ORVEL_SETGID_STEP STREQUAL "set")
    message(STATUS "Left 0755, not setgid: a staged install (DESTDIR)")
  endif()
  return()
endif()
set(program "${CMAKE_INSTALL_PREFIX}/${ORVEL_SETGID_PROGRAM}")
if(IS_ABSOLUTE "${ORVEL_SETGID_PROGRAM}")
  set(program "${ORVEL_SETGID_PROGRAM}")
endif()
set(failure "cannot install orvel-keywatcher setgid '${ORVEL_KEYBOARD_GROUP}'")

if(ORVEL_SETGID_STEP STREQUAL "check")
  execute_process(COMMAND getent group "${ORVEL_KEYBOARD_GROUP}"
                  RESULT_VARIABLE missing OUTPUT_QUIET ERROR_QUIET)
  if(missing)
    message(FATAL_ERROR "${failure}: there is no group '${ORVEL_KEYBOARD_GROUP}' here; "
      "configure with -DORVEL_KEYBOARD_GROUP=GROUP, the group of /dev/input/event* "
      "(ls -l /dev/input); nothing was installed")
  endif()
  # The mount the program will be on: that of its folder, or of the nearest
  # folder above it that exists yet.
  get_filename_component(folder "${program}" DIRECTORY)
  while(NOT EXISTS "${folder}")
    get_filename_component(folder "${folder}" DIRECTORY)
  endwhile()
  execute_process(COMMAND findmnt -n -o TARGET,OPTIONS --target "${folder}"
                  OUTPUT_VARIABLE mount RESULT_VARIABLE unknown ERROR_QUIET)
  if(NOT unknown AND mount MATCHES "^([^ ]+) +(.*,)?nosuid(,|$|\n)")
    message(FATAL_ERROR "${failure}: ${folder} is on ${CMAKE_MATCH_1}, mounted nosuid, where "
      "the system ignores the bit; install to another prefix (--prefix); nothing was installed")
  endif()
  return()
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
    message(FATAL_ERROR "${failure}: ${why} (run the install as root: sudo cmake --install ...); "
      "installed with mode 0755")
  endif()
endforeach()
message(STATUS "Setgid '${ORVEL_KEYBOARD_GROUP}', mode 2755: ${program}")
