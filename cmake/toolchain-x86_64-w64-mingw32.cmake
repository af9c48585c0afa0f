# The same sources as a 64-bit program: the build that runs under wine64 on this machine. The posix thread
# model gives the C++ library std::thread and std::mutex, which GoogleTest and the Windows tests need.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZELN_MINGW_TRIPLE x86_64-w64-mingw32)
set(ZELN_MINGW_THREADS posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
