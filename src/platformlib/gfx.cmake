# Windows, zones, pixels and colours, trigonometry and lines, video windows, the render-module loader and the
# 3D clipper.
add_library(platformlib_gfx STATIC
  ${CMAKE_CURRENT_LIST_DIR}/clip3d.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fixtrig.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gfxdisplay.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pixels.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rowspace.cpp
  ${CMAKE_CURRENT_LIST_DIR}/videoout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/videowin.cpp
  ${CMAKE_CURRENT_LIST_DIR}/vortel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/windowdesc.cpp)
target_include_directories(platformlib_gfx PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(platformlib_gfx PUBLIC platformlib winapi)
