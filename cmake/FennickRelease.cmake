# What the release carries: a version resource in every deliverable, the data files shipped beside
# the programs, and the list of everything the installer and the portable zip package.
#
#   fennick_version_resource(target "File description")  the description Windows shows for the file
#   fennick_deliverable_files(producer files...)          data files a target puts in bin/ (shipped too)
#
# fennick_deliverable() gives every deliverable its VERSIONINFO (the project version, product
# "Fennick suite", maker "Velmora"); fennick_version_resource() only names what the file is.

set(FENNICK_PRODUCT_NAME "Fennick suite")
set(FENNICK_PUBLISHER "Velmora")
set(FENNICK_VERSION_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/version_resource.rc.in)

if(FENNICK_WINDOWS)
  enable_language(RC)
endif()

function(fennick_version_resource target description)
  set_property(TARGET ${target} PROPERTY FENNICK_FILE_DESCRIPTION "${description}")
endfunction()

# Called by fennick_deliverable(). The description and the file name are read when the build
# system is generated, so fennick_version_resource() may come before or after it.
function(fennick_add_version_resource target)
  if(NOT FENNICK_WINDOWS)
    return()
  endif()
  get_property(described TARGET ${target} PROPERTY FENNICK_FILE_DESCRIPTION SET)
  if(NOT described)
    set_property(TARGET ${target} PROPERTY FENNICK_FILE_DESCRIPTION "${FENNICK_PRODUCT_NAME}")
  endif()
  set(FENNICK_TARGET ${target})
  set(template ${CMAKE_BINARY_DIR}/version_resources/${target}.rc.in)
  set(resource ${CMAKE_BINARY_DIR}/version_resources/${target}.rc)
  configure_file(${FENNICK_VERSION_TEMPLATE} ${template} @ONLY)
  file(GENERATE OUTPUT ${resource} INPUT ${template})
  set_source_files_properties(${resource} TARGET_DIRECTORY ${target} PROPERTIES GENERATED TRUE)
  target_sources(${target} PRIVATE ${resource})
endfunction()

function(fennick_deliverable_files producer)
  set_property(GLOBAL APPEND PROPERTY FENNICK_DELIVERABLE_FILES ${ARGN})
  set_property(GLOBAL APPEND PROPERTY FENNICK_DELIVERABLE_PRODUCERS ${producer})
endfunction()

# Writes the release manifest (one shipped file per line, full paths in bin/) and returns in
# <out_var> the targets that must be built before anything reads it.
function(fennick_release_manifest manifest out_var)
  get_property(targets GLOBAL PROPERTY FENNICK_DELIVERABLES)
  get_property(files GLOBAL PROPERTY FENNICK_DELIVERABLE_FILES)
  get_property(producers GLOBAL PROPERTY FENNICK_DELIVERABLE_PRODUCERS)
  set(lines "")
  foreach(target IN LISTS targets)
    string(APPEND lines "$<TARGET_FILE:${target}>\n")
  endforeach()
  foreach(file IN LISTS files)
    string(APPEND lines "${file}\n")
  endforeach()
  file(GENERATE OUTPUT ${manifest} CONTENT "${lines}")
  list(APPEND targets ${producers})
  list(REMOVE_DUPLICATES targets)
  set(${out_var} ${targets} PARENT_SCOPE)
endfunction()
