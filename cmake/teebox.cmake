# Helpers shared by every folder of the build.

find_package(GTest REQUIRED)
find_package(Threads REQUIRED)

# SDL2, looked for once for every folder: TEEBOX_HAVE_SDL2 tells, PkgConfig::SDL2 links it.
set(TEEBOX_HAVE_SDL2 OFF)
if(TEEBOX_SDL2)
  find_package(PkgConfig QUIET)
  if(PkgConfig_FOUND)
    pkg_check_modules(SDL2 QUIET IMPORTED_TARGET GLOBAL sdl2)
  endif()
  if(SDL2_FOUND)
    set(TEEBOX_HAVE_SDL2 ON)
  endif()
endif()

# teebox_add_test(NAME SOURCES a.cpp ... LIBS lib ...)
# One GoogleTest program, its tests registered with ctest one by one.
# teebox_add_test(NAME [SERIAL] [TIMEOUT seconds] SOURCES a.cpp ... LIBS lib ...)
# SERIAL: the tests run alone, for whole-program scenarios whose threads must not starve under a full parallel run.
# TIMEOUT: a limit of its own, for scenarios of several programs that run longer than the run's default allows.
function(teebox_add_test name)
  cmake_parse_arguments(T "SERIAL" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  set(_serial "")
  if(T_SERIAL OR T_TIMEOUT)
    set(_serial PROPERTIES)
  endif()
  if(T_SERIAL)
    list(APPEND _serial RUN_SERIAL TRUE)
  endif()
  if(T_TIMEOUT)
    list(APPEND _serial TIMEOUT ${T_TIMEOUT})
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock Threads::Threads)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE TEEBOX_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  # Tests never touch the person's own registry file or drives, and share demo installations through a cache.
  # The settings go through `env` as the tests' launcher: a list in the discovered tests' ENVIRONMENT property
  # would be split into separate arguments.
  set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR
    "env;SDL_VIDEODRIVER=dummy;SDL_AUDIODRIVER=dummy;WINAPI_HOST=headless;WINAPI_REGISTRY=${CMAKE_CURRENT_BINARY_DIR}/${name}.registry.txt;TEEBOX_DEMO_CACHE=${PROJECT_BINARY_DIR}/demo-cache")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 ${_serial})
endfunction()

# teebox_add_fuzzer(NAME SOURCES a.cpp ... LIBS lib ... CORPUS dir)
# A parser's fuzz entry point (LLVMFuzzerTestOneInput). With TEEBOX_FUZZ it is a libFuzzer program;
# otherwise it is built with a small driver that replays the corpus, and that replay is a ctest test.
function(teebox_add_fuzzer name)
  cmake_parse_arguments(F "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  if(TEEBOX_FUZZ)
    add_executable(${name} ${F_SOURCES})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  else()
    add_executable(${name} ${F_SOURCES} ${PROJECT_SOURCE_DIR}/tests/fuzz/replay_main.cpp)
  endif()
  target_link_libraries(${name} PRIVATE ${F_LIBS} Threads::Threads)
  set_property(GLOBAL APPEND PROPERTY TEEBOX_FUZZERS "${name}|${F_CORPUS}")
  if(NOT TEEBOX_FUZZ)
    add_test(NAME ${name}.replay COMMAND ${name} ${F_CORPUS})
  endif()
endfunction()

# teebox_add_bench(NAME SOURCES a.cpp ... LIBS lib ...)
# A Google Benchmark program; ctest runs it once, briefly, so that it keeps building and running.
function(teebox_add_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark Threads::Threads)
  add_test(NAME ${name}.smoke COMMAND ${name} --benchmark_min_time=0.001)
  set_tests_properties(${name}.smoke PROPERTIES LABELS bench
    ENVIRONMENT "SDL_VIDEODRIVER=dummy;SDL_AUDIODRIVER=dummy;WINAPI_HOST=headless")
endfunction()

include(GoogleTest)

# teebox_export_to_modules(TARGET)
# A program that loads render modules carries the whole stand-in platform and exports to the modules exactly the
# platform's symbols they bind (src/teebox/modules.exports), not everything it holds.
function(teebox_export_to_modules target)
  set(_list ${PROJECT_SOURCE_DIR}/src/teebox/modules.exports)
  target_link_options(${target} PRIVATE "LINKER:--whole-archive" "$<TARGET_FILE:winapi>" "LINKER:--no-whole-archive"
    "LINKER:--dynamic-list=${_list}")
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${_list})
endfunction()

# Adds every immediate sub-folder of the current folder that has a CMakeLists.txt.
macro(teebox_add_subfolders)
  file(GLOB _teebox_children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT _teebox_children)
  foreach(_child ${_teebox_children})
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${_child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${_child}/CMakeLists.txt)
      add_subdirectory(${_child})
    endif()
  endforeach()
endmacro()

# teebox_add_library(NAME [KIND STATIC|OBJECT|SHARED|MODULE] [SOURCES a.cpp ...] [LIBS lib ...])
# One library of the game: its sources are the .cpp files of the current folder unless SOURCES names them; code
# includes its headers from src/ ("platformlib/gfx/pixels.h").
function(teebox_add_library name)
  cmake_parse_arguments(L "" "KIND" "SOURCES;LIBS" ${ARGN})
  if(NOT L_KIND)
    set(L_KIND STATIC)
  endif()
  if(NOT L_SOURCES)
    file(GLOB L_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  endif()
  add_library(${name} ${L_KIND} ${L_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  if(L_LIBS)
    target_link_libraries(${name} PUBLIC ${L_LIBS})
  endif()
endfunction()
