# Shared part of the toolchain files: Debian's cross compiler for QUILLON_TRIPLET and the
# target's multiarch libraries (scripts/install-deps --cross ARCH installs both).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_CXX_COMPILER ${QUILLON_TRIPLET}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${QUILLON_TRIPLET})
# GCC 12 for ARM warns of a std::string move it inlined at -O2 as out of bounds where it is not
# (session_options_test.cpp); the native builds keep the warning an error.
set(CMAKE_CXX_FLAGS_INIT -Wno-error=array-bounds)

# The target's .pc files only: the build machine's would link its own libraries' flags.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${QUILLON_TRIPLET}/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# Tests and checks run the target's programs under qemu-user, with the target's multiarch
# loader and libraries (not the cross compiler's C library: a loader and a C library of two
# builds hang the first thread).
set(CMAKE_CROSSCOMPILING_EMULATOR ${QUILLON_QEMU})

# qemu-user 7.2 does not translate the termios2 ioctls (TCGETS2, TCSETS2) nor TIOCGEXCL: the
# tests that set up a pseudo-terminal as the serial port fail under it for that alone. They
# run natively in every other preset; here they are left out by name (a GoogleTest filter).
set(QUILLON_EMULATOR_SKIPS
  SerialPortTest.EveryBaudRateOfTheTableIsSetWith8N1RawAndNoFlowControl
  SerialPortTest.TheDeviceIsHeldExclusivelyUntilClosed
  ReceiverLinkContract/0.*  # the serial port's instance
  BaseUpload.SendsTheRequestWholeAndKeepsUpWithAReceiverAt115200Baud
  BaseStalledCaster.*)
