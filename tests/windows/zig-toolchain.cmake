# Cross build for Windows on a Linux machine, for the tests only: zig's C and
# C++ compilers through tests/zig/zig-cc and zig-c++, and LLVM's archiver. The processor follows ZIG_TARGET (x86_64 or aarch64).
set(CMAKE_SYSTEM_NAME Windows)
if("$ENV{ZIG_TARGET}" MATCHES "^aarch64")
  set(CMAKE_SYSTEM_PROCESSOR ARM64)
else()
  set(CMAKE_SYSTEM_PROCESSOR AMD64)
endif()
set(CMAKE_C_COMPILER "${CMAKE_CURRENT_LIST_DIR}/../zig/zig-cc")
set(CMAKE_CXX_COMPILER "${CMAKE_CURRENT_LIST_DIR}/../zig/zig-c++")

find_program(ORVEL_LLVM_AR NAMES llvm-ar llvm-ar-14 REQUIRED)
find_program(ORVEL_LLVM_RANLIB NAMES llvm-ranlib llvm-ranlib-14 REQUIRED)
find_program(ORVEL_LLVM_RC NAMES llvm-rc llvm-rc-14)
set(CMAKE_AR "${ORVEL_LLVM_AR}" CACHE FILEPATH "" FORCE)
set(CMAKE_RANLIB "${ORVEL_LLVM_RANLIB}" CACHE FILEPATH "" FORCE)
if(ORVEL_LLVM_RC)
  set(CMAKE_RC_COMPILER "${ORVEL_LLVM_RC}" CACHE FILEPATH "" FORCE)
endif()

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
