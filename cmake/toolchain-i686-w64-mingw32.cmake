# The shipped product: 32-bit Windows, from Windows XP SP3 on. The win32 thread model: the posix model's runtime
# (winpthreads, which the C++ library's exception handling pulls in) imports GetTickCount64, which Windows XP
# does not export, so the program would not load there. The product starts its threads with CreateThread.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ZELN_MINGW_TRIPLE i686-w64-mingw32)
set(ZELN_MINGW_THREADS win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
