# 32-bit ARM (Debian armhf, ARMv7 and later): Raspberry Pi 2, 3, 4 and 5 with a 32-bit system.
# The Pi Zero and Pi 1 are ARMv6, which this compiler's runtime does not run on.
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(QUILLON_TRIPLET arm-linux-gnueabihf)
set(QUILLON_QEMU qemu-arm)
# GCC notes that it passes some iterators differently from GCC 6 and older: nothing here is
# linked with code that old, and the notes bury the build's real messages.
set(CMAKE_CXX_FLAGS_INIT -Wno-psabi)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
