# The 64-bit test flavour of the same sources: it runs the Wine test levels under wine64 on
# machines whose kernel cannot execute 32-bit programs. It is never shipped.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
