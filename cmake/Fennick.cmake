# Build conventions of the suite: where things land, how tests are declared.
#
#   fennick_core_library(name SOURCES...)      platform-free core, built by both presets
#   fennick_host_test(name SOURCES... [LIBS...])  GoogleTest program, host preset only
#   fennick_wine_test(name SOURCES... [LIBS...] [GTEST] [DEPENDS targets...] [LABELS...])
#                                               Windows test program run under Wine, windows preset only
#   fennick_e2e_test(name SCRIPT file [ARGS...] [DEPENDS targets...])
#                                               Python end-to-end driver, windows preset only
#   fennick_deliverable(target)                 a file the user installs: lands in bin/, checked as PE32,
#                                               carries the version resource (FennickRelease.cmake)
#   fennick_version_resource(target "what it is")  the file description of that resource
#   fennick_deliverable_files(producer files...)  data files a target copies into bin/, shipped too

if(WIN32)
  set(FENNICK_WINDOWS ON)
else()
  set(FENNICK_WINDOWS OFF)
endif()

include(FennickRelease)

option(FENNICK_SANITIZE "Build host code with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

set(FENNICK_BIN_DIR ${CMAKE_BINARY_DIR}/bin)
set(FENNICK_TEST_BIN_DIR ${CMAKE_BINARY_DIR}/tests)
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${FENNICK_BIN_DIR})
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${FENNICK_BIN_DIR})
set(CMAKE_ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)

if(FENNICK_WINDOWS)
  # ANSI Win32: no UNICODE. Windows XP-era API level is enough and keeps old machines working.
  add_compile_definitions(WINVER=0x0600 _WIN32_WINNT=0x0600 _WIN32_IE=0x0600 NOMINMAX)
  add_compile_options(-Wall -Wextra -Wno-unused-parameter -Wno-cast-function-type)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/tools/wine-run)
else()
  add_compile_options(-Wall -Wextra)
  if(FENNICK_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
  endif()
endif()

find_package(Python3 COMPONENTS Interpreter REQUIRED)

macro(fennick_add_googletest)
  set(GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources (Debian package googletest)")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  add_subdirectory(${GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endmacro()

function(fennick_core_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES} ${ARG_UNPARSED_ARGUMENTS})
  if(ARG_LIBS)
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  endif()
endfunction()

function(fennick_host_test name)
  if(FENNICK_WINDOWS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${FENNICK_TEST_BIN_DIR})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES LABELS host)
endfunction()

function(fennick_wine_test name)
  if(NOT FENNICK_WINDOWS)
    return()
  endif()
  cmake_parse_arguments(ARG "GTEST" "" "SOURCES;LIBS;DEPENDS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  if(ARG_GTEST)
    target_link_libraries(${name} PRIVATE GTest::gmock GTest::gtest_main)
  endif()
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${FENNICK_TEST_BIN_DIR})
  if(ARG_DEPENDS)
    add_dependencies(${name} ${ARG_DEPENDS})
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine LABELS "wine;${ARG_LABELS}"
    ENVIRONMENT "FENNICK_BUILD_DIR=${CMAKE_BINARY_DIR};FENNICK_DETACH_OUTPUT=1")
endfunction()

function(fennick_e2e_test name)
  if(NOT FENNICK_WINDOWS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "SCRIPT;TIMEOUT" "ARGS;DEPENDS;LABELS" ${ARGN})
  add_test(NAME ${name} COMMAND ${Python3_EXECUTABLE} ${ARG_SCRIPT} ${ARG_ARGS})
  if(ARG_TIMEOUT)
    set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT})
  endif()
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine LABELS "e2e;${ARG_LABELS}"
    ENVIRONMENT "FENNICK_BUILD_DIR=${CMAKE_BINARY_DIR};FENNICK_REPO=${CMAKE_SOURCE_DIR};PYTHONPATH=${CMAKE_SOURCE_DIR}/tools;PYTHONDONTWRITEBYTECODE=1")
  if(ARG_DEPENDS)
    set_property(GLOBAL APPEND PROPERTY FENNICK_E2E_DEPENDS ${ARG_DEPENDS})
  endif()
endfunction()

function(fennick_deliverable target)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${FENNICK_BIN_DIR}
    LIBRARY_OUTPUT_DIRECTORY ${FENNICK_BIN_DIR} PREFIX "")
  set_property(GLOBAL APPEND PROPERTY FENNICK_DELIVERABLES ${target})
  fennick_add_version_resource(${target})
endfunction()

# Called once at the end of the top-level list: Wine session fixture and the deliverable check.
function(fennick_finish)
  if(NOT FENNICK_WINDOWS)
    return()
  endif()
  add_test(NAME wine_session_start COMMAND ${CMAKE_SOURCE_DIR}/tools/wine-session start ${CMAKE_BINARY_DIR})
  add_test(NAME wine_session_stop COMMAND ${CMAKE_SOURCE_DIR}/tools/wine-session stop ${CMAKE_BINARY_DIR})
  set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine TIMEOUT 600)
  set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP wine)

  # Every .exe and .dll in bin/ is checked, copies made at build time included.
  add_test(NAME deliverables_are_pe32 COMMAND ${Python3_EXECUTABLE}
    ${CMAKE_SOURCE_DIR}/tools/tests/check_deliverables.py ${FENNICK_BIN_DIR})
  set_tests_properties(deliverables_are_pe32 PROPERTIES LABELS windows)
endfunction()
