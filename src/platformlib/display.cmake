# The main window and its thread, the keyboard and hot keys, the DirectDraw display and its modes.
add_library(platformlib_display STATIC
  ${CMAKE_CURRENT_LIST_DIR}/displaymode.cpp
  ${CMAKE_CURRENT_LIST_DIR}/keyboard.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mainwindow.cpp
  ${CMAKE_CURRENT_LIST_DIR}/windisplay.cpp)
target_include_directories(platformlib_display PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(platformlib_display PUBLIC platformlib_gfx platformlib winapi)
