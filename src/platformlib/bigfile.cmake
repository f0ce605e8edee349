# Archives and pack codes: part of platformlib. platformlib's CMakeLists includes this file; folders that use
# these routines may include it too (it adds the sources once) and link platformlib_bigfile or platformlib.
set(PLATFORMLIB_BIGFILE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/bigfile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/unpack.cpp
  ${CMAKE_CURRENT_LIST_DIR}/unpackhuff.cpp)

if(TARGET platformlib AND NOT TARGET platformlib_bigfile)
  target_sources(platformlib PRIVATE ${PLATFORMLIB_BIGFILE_SOURCES})
  add_library(platformlib_bigfile INTERFACE)
  target_link_libraries(platformlib_bigfile INTERFACE platformlib)
endif()
