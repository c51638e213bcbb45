# Build steps of the pickers and the help page, included from
# kalvo/ui/CMakeLists.txt.
include_guard(GLOBAL)
set(_kalvo_ui_dir ${CMAKE_CURRENT_LIST_DIR})

# Draws the picker artwork (run by hand, outputs are committed) and cuts the
# toolbar strip into the help page's button pictures (run at build time).
add_executable(make_pickers_artwork ${_kalvo_ui_dir}/resources/pickers/make_pickers_artwork.cpp)
target_link_libraries(make_pickers_artwork PRIVATE Qt6::Gui)
tk_warnings(make_pickers_artwork)

# The help page next to the program: bin/help/help.html and bin/help/images/.
set(_help_out ${CMAKE_BINARY_DIR}/bin/help)
set(_help_outputs ${_help_out}/help.html)
add_custom_command(
  OUTPUT ${_help_out}/help.html
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${_kalvo_ui_dir}/help/help.html
          ${_help_out}/help.html
  DEPENDS ${_kalvo_ui_dir}/help/help.html
  COMMENT "Kalvo help page")
set(_strip ${_kalvo_ui_dir}/resources/toolbar/209.bmp)
# Cross-compiled, the build cannot run its own tool: the host build's one cuts
# the pictures (the same code, so the same pictures).
set(TK_HOST_PICKERS_ARTWORK "" CACHE FILEPATH "The host build's make_pickers_artwork (cross builds)")
if(CMAKE_CROSSCOMPILING AND TK_HOST_PICKERS_ARTWORK)
  set(_pickers_tool ${TK_HOST_PICKERS_ARTWORK})
else()
  set(_pickers_tool $<TARGET_FILE:make_pickers_artwork>)
endif()
if(EXISTS ${_strip})
  set(_images)
  foreach(i RANGE 11)
    list(APPEND _images ${_help_out}/images/button${i}.png)
  endforeach()
  add_custom_command(
    OUTPUT ${_images}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
            ${_pickers_tool} --help-images ${_strip} ${_help_out}/images
    DEPENDS make_pickers_artwork ${_strip}
    COMMENT "Kalvo help pictures from the toolbar strip")
  list(APPEND _help_outputs ${_images})
endif()
add_custom_target(kalvo_help ALL DEPENDS ${_help_outputs})
