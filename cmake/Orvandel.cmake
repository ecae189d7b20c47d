# Shared helpers of the build.

# Adds a folder only once it has its own CMakeLists.txt, so that parts of the
# tree can grow independently.
function(orv_add_optional_subdirectory dir)
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
    add_subdirectory(${dir})
  endif()
endfunction()

# Adds every immediate sub-folder that has a CMakeLists.txt, in name order.
function(orv_add_all_subdirectories)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
       CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child IN LISTS children)
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child}
       AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# The Windows API for the system's code: hostwin on the host, the platform's
# import libraries on Windows. Usage: target_link_libraries(t PUBLIC orv::winapi)
if(NOT TARGET orv_winapi)
  add_library(orv_winapi INTERFACE)
  add_library(orv::winapi ALIAS orv_winapi)
  if(WIN32)
    target_compile_definitions(orv_winapi INTERFACE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                               _WIN32_WINNT=0x0501 _WIN32_IE=0x0600)
    target_link_libraries(orv_winapi INTERFACE msi urlmon wininet shlwapi shell32
                          wintrust crypt32 ole32 oleaut32 uuid user32 advapi32)
  endif()
  target_include_directories(orv_winapi INTERFACE ${PROJECT_SOURCE_DIR})
endif()

# A GoogleTest executable registered with CTest. Every test process gets a
# fresh hostwin prefix and transcript from the shared test main.
function(orv_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} orv_test_main GTest::gtest)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 120 LABELS ${name})
endfunction()

# A fuzz target over arbitrary bytes (LLVMFuzzerTestOneInput). With ORV_FUZZ
# (a clang build) it is a libFuzzer binary; otherwise a plain program that
# replays the files or folders given on its command line, so that it always
# compiles and its corpus can run as a regression test.
function(orv_add_fuzzer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  if(ORV_FUZZ)
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  else()
    target_link_libraries(${name} PRIVATE orv_fuzz_replay)
  endif()
  set_property(GLOBAL APPEND PROPERTY ORV_FUZZERS ${name})
endfunction()

# A Google Benchmark program.
function(orv_add_benchmark name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark)
endfunction()
include(${CMAKE_CURRENT_LIST_DIR}/Resources.cmake)
