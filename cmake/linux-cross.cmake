# Cross build for Linux on another processor with Debian's cross compilers, the programs run
# under qemu-user (package qemu-user-static). The toolchain files aarch64-linux-gnu.cmake and
# s390x-linux-gnu.cmake set CMAKE_SYSTEM_PROCESSOR and include this file:
#   cmake --workflow --preset aarch64      (g++-aarch64-linux-gnu)
#   cmake --workflow --preset s390x        (g++-s390x-linux-gnu, big-endian)
set(CMAKE_SYSTEM_NAME Linux)
set(hlext_triple ${CMAKE_SYSTEM_PROCESSOR}-linux-gnu)

set(CMAKE_C_COMPILER ${hlext_triple}-gcc)
set(CMAKE_CXX_COMPILER ${hlext_triple}-g++)

# Headers and libraries come from the cross tree only; build tools from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${hlext_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# CTest starts the test programs and hlext1 through qemu-user, which finds the shared C and
# C++ runtimes in the cross tree.
if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR qemu-${CMAKE_SYSTEM_PROCESSOR}-static -L /usr/${hlext_triple})
endif()
