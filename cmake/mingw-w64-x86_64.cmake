# Cross build for 64-bit Windows with mingw-w64 (Debian: g++-mingw-w64-x86-64-posix),
# the tests run under Wine:
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# With a static Qt for the target (VORNAK_QT_WINDOWS=<its folder>, as a cache or
# environment variable) the window program is built too; the host's Qt tools
# (moc, rcc, uic) serve the build, as Qt's cross builds need.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

# The posix thread model: std::thread and std::mutex need it.
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
if(NOT VORNAK_QT_WINDOWS AND DEFINED ENV{VORNAK_QT_WINDOWS})
  set(VORNAK_QT_WINDOWS "$ENV{VORNAK_QT_WINDOWS}")
endif()
if(VORNAK_QT_WINDOWS)
  # The toolchain file is read again for every try_compile: pass the folder on.
  list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VORNAK_QT_WINDOWS)
  list(APPEND CMAKE_FIND_ROOT_PATH "${VORNAK_QT_WINDOWS}")
  list(APPEND CMAKE_PREFIX_PATH "${VORNAK_QT_WINDOWS}")
  if(NOT QT_HOST_PATH)
    set(QT_HOST_PATH /usr)
  endif()
  if(NOT QT_HOST_PATH_CMAKE_DIR AND EXISTS /usr/lib/x86_64-linux-gnu/cmake/Qt6)
    set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)
  endif()
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(VORNAK_WINE NAMES wine wine64)
if(VORNAK_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VORNAK_WINE})
endif()
