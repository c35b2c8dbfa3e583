# Helpers shared by the folders' CMake files.

# GoogleTest: Debian's library on the host, built from Debian's sources for Win32.
if(KQ_WIN32)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # GoogleTest needs exceptions off in its own way; keep its sources as they are.
  set(KQ_GTEST_LIB gtest)
else()
  find_package(GTest REQUIRED)
  set(KQ_GTEST_LIB GTest::gtest)
endif()
# Our own entry instead of gtest_main: it turns skipped tests into a skip (or, under CI,
# a failure) of the whole program, so that no skip is counted as a pass.
add_library(kqtestmain STATIC ${CMAKE_SOURCE_DIR}/tests/support/test_main.cpp)
target_link_libraries(kqtestmain PUBLIC ${KQ_GTEST_LIB})
set(KQ_GTEST kqtestmain ${KQ_GTEST_LIB})

# A Win32 image gets a map file beside it, generated from its own symbols, so traces,
# block reports and crash reports name our functions.
function(kq_image_map target)
  if(NOT KQ_WIN32)
    return()
  endif()
  target_link_options(${target} PRIVATE -static "-Wl,-Map=$<TARGET_FILE:${target}>.ldmap")
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_SOURCE_DIR}/cmake/write_map.sh $<TARGET_FILE:${target}>
            $<TARGET_FILE:${target}>.ldmap
            $<TARGET_FILE_DIR:${target}>/$<TARGET_FILE_BASE_NAME:${target}>.map
    VERBATIM)
endfunction()

# A unit test: GoogleTest on the host or under Wine; skipped (exit 77) where a test
# skipped or Wine cannot run Win32 programs, failed instead under CI.
function(kq_gtest name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE kqutil ${KQ_GTEST})
  if(KQ_WIN32)
    target_link_options(${name} PRIVATE -static)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77)
endfunction()

# Tests that click, type, take the foreground or read the screen each get a display of
# their own for their run: its own X server, window manager and Wine prefix
# (cmake/wine-run.sh picks them by the slot ctest hands out), so two such tests can run
# side by side without taking each other's keys, focus or pixels.
set(KQ_DISPLAYS 2)
set(kq_display_slots "")
foreach(slot RANGE 1 ${KQ_DISPLAYS})
  string(APPEND kq_display_slots "{\"id\":\"${slot}\",\"slots\":1},")
endforeach()
string(REGEX REPLACE ",$" "" kq_display_slots "${kq_display_slots}")
file(WRITE ${CMAKE_BINARY_DIR}/displays.json
     "{\"version\":{\"major\":1,\"minor\":0},\"local\":[{\"display\":[${kq_display_slots}]}]}\n")
set(CTEST_RESOURCE_SPEC_FILE ${CMAKE_BINARY_DIR}/displays.json)
function(kq_own_display)
  set_tests_properties(${ARGN} PROPERTIES RESOURCE_GROUPS "display:1")
endfunction()

# A test that starts kq.exe and drives it from outside, through the one driver in
# tests/support: a GoogleTest program under Wine (the toolchain's emulator runs it) on a
# display of its own, built after kq.exe and the DEPENDS it starts or reads. Each SPLIT
# filter of GoogleTest's becomes a test of its own (NAME_1, ...), so that ctest runs a heavy
# scenario beside the rest, which stays in NAME; a test split so must keep its files in
# the folders the driver places.
if(KQ_WIN32)
  add_library(kqdriver STATIC ${CMAKE_SOURCE_DIR}/tests/support/kq_driver.cpp)
endif()
function(kq_end_to_end_test name)
  cmake_parse_arguments(arg "" "TIMEOUT" "SOURCES;DEPENDS;LIBS;DEFINES;SPLIT" ${ARGN})
  if(NOT arg_TIMEOUT)
    set(arg_TIMEOUT 900)
  endif()
  kq_gtest(${name} ${arg_SOURCES})
  target_link_libraries(${name} PRIVATE kqdriver ${arg_LIBS})
  add_dependencies(${name} kq ${arg_DEPENDS})
  if(arg_DEFINES)
    target_compile_definitions(${name} PRIVATE ${arg_DEFINES})
  endif()
  set(tests ${name})
  if(arg_SPLIT)
    # GoogleTest takes the filter from the environment too (Wine hands it on).
    list(JOIN arg_SPLIT ":" split)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "GTEST_FILTER=-${split}")
    set(part 0)
    foreach(filter ${arg_SPLIT})
      math(EXPR part "${part} + 1")
      add_test(NAME ${name}_${part} COMMAND ${name} --gtest_filter=${filter})
      # Its runs of kq take folders of their own (tests/support/kq_driver.cpp).
      set_tests_properties(${name}_${part} PROPERTIES ENVIRONMENT "KQ_RUN_TAG=${part}")
      list(APPEND tests ${name}_${part})
    endforeach()
  endif()
  set_tests_properties(${tests} PROPERTIES LABELS "wine;end_to_end" TIMEOUT ${arg_TIMEOUT}
                       SKIP_RETURN_CODE 77)
  kq_own_display(${tests})
endfunction()
