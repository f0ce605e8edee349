# The sound system: the software mixer (kernels, resamplers, sample sources, reverb and the block loop).
add_library(platformlib_sound STATIC
  ${CMAKE_CURRENT_LIST_DIR}/sndbank.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sndc9.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sndcodec.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sndkernels.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sndmixer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sndpacket.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sndresample.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sndreverb.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sndvoice.cpp)
target_include_directories(platformlib_sound PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(platformlib_sound PUBLIC platformlib_gfx platformlib)

# Start-up and the driver module's binding: they need the main window.
if(TARGET platformlib_display)
  add_library(platformlib_sounddriver STATIC ${CMAKE_CURRENT_LIST_DIR}/snddriver.cpp)
  target_include_directories(platformlib_sounddriver PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(platformlib_sounddriver PUBLIC platformlib_sound platformlib_display)
endif()

# Sound streams read their chunks through the library's chunked streams.
if(TARGET platformlib_stream)
  add_library(platformlib_soundstream STATIC ${CMAKE_CURRENT_LIST_DIR}/sndstream.cpp)
  target_include_directories(platformlib_soundstream PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(platformlib_soundstream PUBLIC platformlib_sound platformlib_stream)
endif()
