# Cross build for 64-bit Windows with Debian's mingw-w64 compilers. The
# -posix variants are needed: their C++ library has std::thread and
# std::mutex. Executables link the compiler's and the thread library
# statically, so they run under wine (or on Windows) without extra DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KX52_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KX52_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KX52_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KX52_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KX52_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# With KX52_MINGW_SHARED_RUNTIME the runtime stays in its DLLs instead: Qt
# and a program built on it must share one copy.
if(NOT KX52_MINGW_SHARED_RUNTIME)
  set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KX52_MINGW_SHARED_RUNTIME)

# Tests (and ctest's discovery of them) run through wine when it is there.
find_program(KX52_WINE NAMES wine)
if(KX52_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KX52_WINE})
endif()
