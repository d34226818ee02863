# Windows side of the show: generated icon and bitmaps, the shell library, the program.
set(show_assets_dir ${CMAKE_CURRENT_BINARY_DIR}/assets)
set(show_assets ${show_assets_dir}/FennickShow.ico ${show_assets_dir}/picture.bmp ${show_assets_dir}/sound.bmp
  ${show_assets_dir}/program.bmp ${show_assets_dir}/ball1.bmp ${show_assets_dir}/ball2.bmp ${show_assets_dir}/ball3.bmp
  ${show_assets_dir}/ball4.bmp ${show_assets_dir}/ball5.bmp)
add_custom_command(
  OUTPUT ${show_assets}
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/res/make_assets.py --out ${show_assets_dir}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/res/make_assets.py
  COMMENT "Making the show's icon and bitmaps")
add_custom_target(show_assets ALL DEPENDS ${show_assets})

# Resources go into every program that creates the show window (the deliverable and its Wine tests).
set(SHOW_RC ${CMAKE_CURRENT_SOURCE_DIR}/res/FennickShow.rc CACHE INTERNAL "")
set_source_files_properties(${SHOW_RC} PROPERTIES OBJECT_DEPENDS "${show_assets}")
set(SHOW_RC_INCLUDES ${CMAKE_CURRENT_SOURCE_DIR}/src ${show_assets_dir} CACHE INTERNAL "")

add_library(show_shell STATIC src/show_window.cpp src/show_dialogs.cpp src/show_settings.cpp src/picture.cpp
  src/system_actions.cpp)
target_include_directories(show_shell PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/src)
target_link_libraries(show_shell PUBLIC show_core fennick_common comdlg32 ole32 oleaut32 uuid shell32 winmm gdi32 user32)
add_dependencies(show_shell show_assets)

if(TARGET swibus)
  add_executable(FennickShow WIN32 src/main.cpp ${SHOW_RC})
  target_include_directories(FennickShow PRIVATE ${SHOW_RC_INCLUDES})
  target_link_libraries(FennickShow PRIVATE show_shell fennick_port_client)
  fennick_deliverable(FennickShow)
else()
  message(STATUS "FennickShow waits for the swibus library target")
endif()
