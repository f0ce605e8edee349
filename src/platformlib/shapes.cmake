# Shapes and colour tables, the shape drawing engine, filtered and scaled drawing, fonts and text, polygons,
# screen capture and the debug text screen, on top of the window and pixel units.
if(NOT TARGET platformlib_shapes)
  file(GLOB _platformlib_shapes_sources CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_LIST_DIR}/shape*.cpp
    ${CMAKE_CURRENT_LIST_DIR}/text*.cpp
    ${CMAKE_CURRENT_LIST_DIR}/polygon*.cpp
    ${CMAKE_CURRENT_LIST_DIR}/capture.cpp
    ${CMAKE_CURRENT_LIST_DIR}/debugscreen.cpp)
  add_library(platformlib_shapes STATIC ${_platformlib_shapes_sources})
  target_include_directories(platformlib_shapes PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(platformlib_shapes PUBLIC platformlib_gfx platformlib_files platformlib)
endif()

# Text start-up for the keyboard's prompt box (needs the display unit).
if(NOT TARGET platformlib_prompt AND TARGET platformlib_display)
  add_library(platformlib_prompt STATIC ${CMAKE_CURRENT_LIST_DIR}/promptface.cpp)
  target_include_directories(platformlib_prompt PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(platformlib_prompt PUBLIC platformlib_shapes platformlib_display)
endif()
