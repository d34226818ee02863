# Windows side of the tester: generated icon and sound, the shell library, the program.
set(tester_ico ${CMAKE_CURRENT_BINARY_DIR}/FennickTest.ico)
set(tester_wav ${FENNICK_BIN_DIR}/test.wav)
add_custom_command(
  OUTPUT ${tester_ico} ${tester_wav}
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/res/make_assets.py --icon ${tester_ico} --sound ${tester_wav}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/res/make_assets.py
  COMMENT "Making the tester's icon and test.wav")
add_custom_target(tester_assets ALL DEPENDS ${tester_ico} ${tester_wav})
fennick_deliverable_files(tester_assets ${tester_wav})

# Resources go into every program that creates the tester window (the deliverable and its Wine tests).
set(TESTER_RC ${CMAKE_CURRENT_SOURCE_DIR}/res/FennickTest.rc CACHE INTERNAL "")
set_source_files_properties(${TESTER_RC} PROPERTIES OBJECT_DEPENDS ${tester_ico})
set(TESTER_RC_INCLUDES ${CMAKE_CURRENT_SOURCE_DIR}/src ${CMAKE_CURRENT_BINARY_DIR} CACHE INTERNAL "")

add_library(tester_shell STATIC src/tester_window.cpp src/tester_settings.cpp)
target_include_directories(tester_shell PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/src)
target_link_libraries(tester_shell PUBLIC tester_core fennick_common comctl32 winmm gdi32 user32)
add_dependencies(tester_shell tester_assets)

if(TARGET swibus)
  add_executable(FennickTest WIN32 src/main.cpp ${TESTER_RC})
  target_include_directories(FennickTest PRIVATE ${TESTER_RC_INCLUDES})
  target_link_libraries(FennickTest PRIVATE tester_shell fennick_port_client)
  fennick_deliverable(FennickTest)
  fennick_version_resource(FennickTest "Fennick device tester")
else()
  message(STATUS "FennickTest waits for the swibus library target")
endif()
