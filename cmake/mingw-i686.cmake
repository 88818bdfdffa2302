# 32-bit Windows: what Windows PCs get, as it runs on every Windows.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KORVEL_MINGW_TARGET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
