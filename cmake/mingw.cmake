# What both cross builds with Debian's mingw-w64 (posix threads model) share. The
# toolchain file of an architecture sets CMAKE_SYSTEM_PROCESSOR and includes this one.
set(CMAKE_SYSTEM_NAME Windows)
set(mingw ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
set(CMAKE_C_COMPILER   ${mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw}-g++-posix)
set(CMAKE_RC_COMPILER  ${mingw}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Packages too (GoogleTest among them): the build machine's own are for another system.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)

# Every binary is laid out at a random address and keeps its data non-executable; on x64
# with the full 64-bit range. Programs are terminal-server aware, so that a bare profile
# file name means the system's Windows folder in every session.
set(tallyhorn_hardening "-Wl,--dynamicbase -Wl,--nxcompat")
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  string(APPEND tallyhorn_hardening " -Wl,--high-entropy-va")
endif()
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${tallyhorn_hardening}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${tallyhorn_hardening}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${tallyhorn_hardening} -Wl,--tsaware")
