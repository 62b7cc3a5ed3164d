# Linux on aarch64 (arm64), cross-built with g++-aarch64-linux-gnu and run under
# qemu-aarch64-static.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
