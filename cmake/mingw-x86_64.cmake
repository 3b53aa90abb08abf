# Cross toolchain: mingw-w64 for x86-64 Windows (Debian's g++-mingw-w64-x86-64), the
# second build of the suite for 64-bit Explorer. The -posix variant, as for x86.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(KELVARA_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${KELVARA_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KELVARA_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${KELVARA_TRIPLE}-windres)
set(CMAKE_OBJDUMP      ${KELVARA_TRIPLE}-objdump)
set(CMAKE_FIND_ROOT_PATH /usr/${KELVARA_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
