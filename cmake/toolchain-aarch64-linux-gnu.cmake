# 64-bit ARM (Debian arm64): Raspberry Pi 3, 4 and 5 with a 64-bit system.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(QUILLON_TRIPLET aarch64-linux-gnu)
set(QUILLON_QEMU qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
