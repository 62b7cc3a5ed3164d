# Linux on s390x (IBM Z, big-endian), cross-built with g++-s390x-linux-gnu and run under
# qemu-s390x-static.
set(CMAKE_SYSTEM_PROCESSOR s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
