# Movie pictures and chunked streams.
add_library(platformlib_movie STATIC
  ${CMAKE_CURRENT_LIST_DIR}/movie.cpp
  ${CMAKE_CURRENT_LIST_DIR}/movieframe.cpp)
target_include_directories(platformlib_movie PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(platformlib_movie PUBLIC platformlib_gfx platformlib)
if(TARGET platformlib_files)
  add_library(platformlib_stream STATIC ${CMAKE_CURRENT_LIST_DIR}/stream.cpp)
  target_include_directories(platformlib_stream PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(platformlib_stream PUBLIC platformlib_files platformlib)
endif()
