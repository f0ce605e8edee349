# The built-in Glide back end (glide2x bound at run time).
add_library(platformlib_glide STATIC ${CMAKE_CURRENT_LIST_DIR}/glide.cpp)
target_include_directories(platformlib_glide PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(platformlib_glide PUBLIC platformlib_gfx)
