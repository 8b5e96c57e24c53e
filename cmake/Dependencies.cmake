# Header-only libraries live in /usr/include on Debian. The cross build must not see
# /usr/include as a whole (glibc headers would shadow MinGW's), so each header-only
# library gets a folder of its own that points at it.
set(PARCELVANE_HEADER_ONLY_DIR ${CMAKE_BINARY_DIR}/header-only)
foreach(lib rapidjson rapidxml)
  if(EXISTS /usr/include/${lib} AND NOT EXISTS ${PARCELVANE_HEADER_ONLY_DIR}/${lib})
    file(MAKE_DIRECTORY ${PARCELVANE_HEADER_ONLY_DIR})
    file(CREATE_LINK /usr/include/${lib} ${PARCELVANE_HEADER_ONLY_DIR}/${lib} SYMBOLIC)
  endif()
endforeach()
add_library(header_only INTERFACE)
target_include_directories(header_only SYSTEM INTERFACE ${PARCELVANE_HEADER_ONLY_DIR})

if(WIN32)
  # GoogleTest is built from Debian's sources with the cross compiler.
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set(ZLIB_USE_STATIC_LIBS ON)  # the import library would make the exe need zlib1.dll
  find_package(ZLIB REQUIRED)
else()
  find_package(GTest REQUIRED)
  find_package(ZLIB REQUIRED)
  find_package(OpenSSL REQUIRED)
  find_package(CURL REQUIRED)
  find_package(Threads REQUIRED)
endif()
