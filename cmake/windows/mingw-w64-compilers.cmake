# The compilers and search rules for 64-bit Windows with Debian's MinGW-w64, posix thread
# model (Qt and ICU need std::thread and std::mutex). scripts/windows-toolchain builds Qt,
# ICU and GoogleTest with this file alone; mingw-w64.cmake adds those libraries for us.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KORMOSZI_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KORMOSZI_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KORMOSZI_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KORMOSZI_MINGW_TRIPLET}-windres)

# Libraries, headers and packages only from the Windows side; programs (moc, rcc, uic,
# python) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${KORMOSZI_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
