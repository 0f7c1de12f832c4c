# Static Linux builds for the downloads, on this Linux machine: zig's C and
# C++ compilers with musl (tests/zig/zig-cc and zig-c++) for the target that
# ZIG_TARGET names (x86_64-linux-musl or aarch64-linux-musl), and LLVM's
# archiver.
set(CMAKE_SYSTEM_NAME Linux)
string(REGEX REPLACE "-.*" "" CMAKE_SYSTEM_PROCESSOR "$ENV{ZIG_TARGET}")
set(CMAKE_C_COMPILER "${CMAKE_CURRENT_LIST_DIR}/zig-cc")
set(CMAKE_CXX_COMPILER "${CMAKE_CURRENT_LIST_DIR}/zig-c++")

find_program(ORVEL_LLVM_AR NAMES llvm-ar llvm-ar-14 REQUIRED)
find_program(ORVEL_LLVM_RANLIB NAMES llvm-ranlib llvm-ranlib-14 REQUIRED)
set(CMAKE_AR "${ORVEL_LLVM_AR}" CACHE FILEPATH "" FORCE)
set(CMAKE_RANLIB "${ORVEL_LLVM_RANLIB}" CACHE FILEPATH "" FORCE)

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
