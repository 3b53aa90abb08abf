# Cross toolchain: mingw-w64 for 32-bit x86 Windows (Debian's g++-mingw-w64-i686).
# The -posix variant is used throughout: GoogleTest needs its std::mutex; the
# deliverables link no runtime at all, so the threading model does not reach them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(KELVARA_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER   ${KELVARA_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KELVARA_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${KELVARA_TRIPLE}-windres)
set(CMAKE_OBJDUMP      ${KELVARA_TRIPLE}-objdump)
set(CMAKE_FIND_ROOT_PATH /usr/${KELVARA_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
