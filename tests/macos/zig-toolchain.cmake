# Cross build for macOS on a Linux machine, for the tests only: zig's C and
# C++ compilers through tests/macos/zig-cc and zig-c++, LLVM's archiver, and
# the stand-in CoreGraphics and CoreFoundation frameworks under
# tests/macos/Frameworks (headers and link stubs written from Apple's
# documentation). The architecture and the deployment
# target are the project's own macOS choices; with none named, the
# architecture is arm64, as the system processor below says.
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_PROCESSOR arm64)
set(CMAKE_C_COMPILER "${CMAKE_CURRENT_LIST_DIR}/zig-cc")
set(CMAKE_CXX_COMPILER "${CMAKE_CURRENT_LIST_DIR}/zig-c++")
# zig carries Darwin's headers itself (zig-c++ drops -isysroot). The SDK is
# named, not given as a path: CMake then looks for no SDK per architecture,
# which a universal configure would otherwise need (xcrun is not there).
set(CMAKE_OSX_SYSROOT macosx CACHE STRING "zig carries Darwin's headers itself")

find_program(ORVEL_LLVM_AR NAMES llvm-ar llvm-ar-14 REQUIRED)
find_program(ORVEL_LLVM_RANLIB NAMES llvm-ranlib llvm-ranlib-14 REQUIRED)
set(CMAKE_AR "${ORVEL_LLVM_AR}" CACHE FILEPATH "" FORCE)
set(CMAKE_RANLIB "${ORVEL_LLVM_RANLIB}" CACHE FILEPATH "" FORCE)
# CMake may run install_name_tool on installed files; there is none here.
set(CMAKE_INSTALL_NAME_TOOL "true" CACHE FILEPATH "" FORCE)

set(CMAKE_C_FLAGS_INIT "-F${CMAKE_CURRENT_LIST_DIR}/Frameworks")
set(CMAKE_CXX_FLAGS_INIT "-F${CMAKE_CURRENT_LIST_DIR}/Frameworks")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-F${CMAKE_CURRENT_LIST_DIR}/Frameworks")

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
