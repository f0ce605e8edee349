# File handles and the asynchronous file system, on top of platformlib and its archives.
if(NOT TARGET platformlib_files)
  add_library(platformlib_files STATIC
    ${CMAKE_CURRENT_LIST_DIR}/filehandle.cpp
    ${CMAKE_CURRENT_LIST_DIR}/filesys.cpp)
  target_include_directories(platformlib_files PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(platformlib_files PUBLIC platformlib)
  if(TARGET platformlib_bigfile)
    target_link_libraries(platformlib_files PUBLIC platformlib_bigfile)
  endif()
endif()
