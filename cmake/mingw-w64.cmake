# Cross build for 64-bit Windows with Debian's mingw-w64 compilers (the
# "posix" thread model, which has std::thread and std::mutex). The runtime is
# linked statically, so the programs run on their own, under Wine too.
#
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DVISTRUNE_GUI=OFF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VISTRUNE_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VISTRUNE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VISTRUNE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VISTRUNE_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VISTRUNE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# ctest runs the test programs through Wine when it is there.
find_program(VISTRUNE_WINE wine)
if(VISTRUNE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VISTRUNE_WINE})
endif()
