# Windows side of the mouse emulator: drawn icons and cursors, the shell library, the program.
set(mouse_assets_dir ${CMAKE_CURRENT_BINARY_DIR}/assets)
set(mouse_assets)
foreach(name program.ico double_click.ico right_click.ico drag.ico options.ico
             left_click.cur double_click.cur right_click.cur drag.cur)
  list(APPEND mouse_assets ${mouse_assets_dir}/${name})
endforeach()
add_custom_command(
  OUTPUT ${mouse_assets}
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/res/make_assets.py ${mouse_assets_dir}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/res/make_assets.py
  COMMENT "Drawing the mouse emulator's icons and cursors")
add_custom_target(mouse_assets ALL DEPENDS ${mouse_assets})

# Resources go into every program that creates the bar (the deliverable and its Wine tests).
set(MOUSE_RC ${CMAKE_CURRENT_SOURCE_DIR}/res/FennickMouse.rc CACHE INTERNAL "")
set_source_files_properties(${MOUSE_RC} PROPERTIES OBJECT_DEPENDS
  "${mouse_assets};${CMAKE_CURRENT_SOURCE_DIR}/res/strings_english.rc;${CMAKE_CURRENT_SOURCE_DIR}/res/strings_dutch.rc;${CMAKE_CURRENT_SOURCE_DIR}/res/strings_italian.rc")
set(MOUSE_RC_INCLUDES ${CMAKE_CURRENT_SOURCE_DIR}/src ${CMAKE_CURRENT_SOURCE_DIR}/res ${mouse_assets_dir} CACHE INTERNAL "")

add_library(mouse_shell STATIC src/mouse_window.cpp src/mouse_settings.cpp src/system_pointer.cpp)
target_include_directories(mouse_shell PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/src)
target_link_libraries(mouse_shell PUBLIC mouse_core fennick_common winmm gdi32 user32)
add_dependencies(mouse_shell mouse_assets)

if(TARGET swibus)
  add_executable(FennickMouse WIN32 src/main.cpp ${MOUSE_RC})
  target_include_directories(FennickMouse PRIVATE ${MOUSE_RC_INCLUDES})
  target_link_libraries(FennickMouse PRIVATE mouse_shell fennick_port_client)
  fennick_deliverable(FennickMouse)
  fennick_version_resource(FennickMouse "Fennick mouse emulator")
else()
  message(STATUS "FennickMouse waits for the swibus library target")
endif()
