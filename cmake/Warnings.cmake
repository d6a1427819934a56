# Common warning and sanitizer flags, applied to every target of the project
# through kx52_build_flags (an interface library that each target links).
add_library(kx52_build_flags INTERFACE)
if(MSVC)
  target_compile_options(kx52_build_flags INTERFACE /W4 /utf-8)
  if(KX52_WERROR)
    target_compile_options(kx52_build_flags INTERFACE /WX)
  endif()
else()
  target_compile_options(kx52_build_flags INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
    -Wno-sign-conversion -Wnon-virtual-dtor -Woverloaded-virtual)
  if(KX52_WERROR)
    target_compile_options(kx52_build_flags INTERFACE -Werror)
  endif()
  if(KX52_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
      message(FATAL_ERROR "KX52_FUZZ needs clang (CXX=clang++): libFuzzer comes with it")
    endif()
    # Coverage for the fuzzer in every library; the fuzz targets link the
    # fuzzer's own main on top.
    target_compile_options(kx52_build_flags INTERFACE -fsanitize=fuzzer-no-link,address,undefined
      -fno-sanitize-recover=all -fno-omit-frame-pointer -g)
    target_link_options(kx52_build_flags INTERFACE -fsanitize=address,undefined)
  elseif(KX52_SANITIZE)
    target_compile_options(kx52_build_flags INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
      -fno-sanitize-recover=undefined)
    target_link_options(kx52_build_flags INTERFACE -fsanitize=address,undefined)
  endif()
endif()

# Sources of a folder, leaving out the files of the other platform:
# *_win.cpp builds only on Windows, *_posix.cpp only elsewhere.
function(kx52_platform_sources out dir)
  file(GLOB _all CONFIGURE_DEPENDS "${dir}/*.cpp" "${dir}/*.h")
  if(WIN32)
    list(FILTER _all EXCLUDE REGEX "_posix\\.(cpp|h)$")
  else()
    list(FILTER _all EXCLUDE REGEX "_win\\.(cpp|h)$")
  endif()
  set(${out} ${_all} PARENT_SCOPE)
endfunction()
