# Shared part of the toolchain files: Debian's cross compiler for QUILLON_TRIPLET and the
# target's multiarch libraries (scripts/install-deps --cross ARCH installs both).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_CXX_COMPILER ${QUILLON_TRIPLET}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${QUILLON_TRIPLET})

# The target's .pc files only: the build machine's would link its own libraries' flags.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${QUILLON_TRIPLET}/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# Tests and checks run the target's programs under qemu-user, with the target's multiarch
# loader and libraries (not the cross compiler's C library: a loader and a C library of two
# builds hang the first thread).
set(CMAKE_CROSSCOMPILING_EMULATOR ${QUILLON_QEMU})
