# Windows with mingw-w64 for KORVEL_MINGW_TARGET (set by the toolchain file
# that includes this one): the posix thread variant, one static executable.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${KORVEL_MINGW_TARGET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KORVEL_MINGW_TARGET}-g++-posix)
set(CMAKE_RC_COMPILER ${KORVEL_MINGW_TARGET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KORVEL_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
