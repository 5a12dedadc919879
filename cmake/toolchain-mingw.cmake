# The mingw-w64 cross toolchain for the processor the including file names
# (posix threads: GoogleTest needs std::mutex).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${KORVANE_CPU})
set(CMAKE_C_COMPILER ${KORVANE_CPU}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${KORVANE_CPU}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${KORVANE_CPU}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KORVANE_CPU}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# ctest runs the Windows test programs under Wine through this.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/harness/wine-run.sh)
