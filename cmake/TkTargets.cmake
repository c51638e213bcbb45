# Helpers shared by every folder's CMakeLists.txt.

function(tk_add_folder dir)
  # Windows builds the folders that have a Windows side (cmake/TkWindows.cmake);
  # its packaging is the installer's.
  if(WIN32)
    if(NOT dir IN_LIST TK_WINDOWS_FOLDERS)
      return()
    endif()
    if(dir STREQUAL "packaging")
      set(dir packaging/windows)
    endif()
  endif()
  if(EXISTS ${PROJECT_SOURCE_DIR}/${dir}/CMakeLists.txt)
    add_subdirectory(${PROJECT_SOURCE_DIR}/${dir} ${PROJECT_BINARY_DIR}/${dir})
  endif()
endfunction()

function(tk_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
                                           -Wnon-virtual-dtor -Woverloaded-virtual)
  if(TK_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  # A unity build includes the .cpp files into one: gcc then takes their
  # anonymous namespaces for a header's and warns of every class using one.
  if(CMAKE_UNITY_BUILD AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wno-subobject-linkage)
  endif()
endfunction()

# tk_library(name SOURCES ... DEPS ...): a static library of one folder.
# Includes are written from the project root: #include "common/ini/IniFile.h".
function(tk_library name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  set(cpp ${A_SOURCES})
  list(FILTER cpp INCLUDE REGEX "\\.cpp$")
  if(NOT cpp)
    # Headers only so far.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${A_DEPS})
    return()
  endif()
  add_library(${name} STATIC ${A_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${A_DEPS} PRIVATE ${A_PRIVATE_DEPS} tk_sanitizers)
  tk_warnings(${name})
endfunction()

# tk_program(name SOURCES ... DEPS ...): an executable.
function(tk_program name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  foreach(f IN LISTS A_SOURCES)
    if(NOT IS_ABSOLUTE ${f})
      set(f ${CMAKE_CURRENT_SOURCE_DIR}/${f})
    endif()
    if(NOT EXISTS ${f})
      return()
    endif()
  endforeach()
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_DEPS} tk_sanitizers)
  tk_warnings(${name})
endfunction()

# tk_test(name LABEL unit|widget|x11|e2e SOURCES ... DEPS ... [ENV k=v ...] [TIMEOUT s])
#  unit:   GoogleTest, no display; also built and run with the sanitizers.
#  widget: QtTest or GoogleTest with the offscreen platform.
#  x11:    needs a display; ./run test starts a private Xvfb and sets DISPLAY.
#  e2e:    whole programs under their own Xvfb with a compositor.
function(tk_test name)
  cmake_parse_arguments(A "" "LABEL;TIMEOUT" "SOURCES;DEPS;ENV" ${ARGN})
  if(NOT A_LABEL)
    set(A_LABEL unit)
  endif()
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 300)
  endif()
  set(cpp ${A_SOURCES})
  list(FILTER cpp EXCLUDE REGEX "QtGTestMain\\.cpp$")
  list(FILTER cpp INCLUDE REGEX "\\.cpp$")
  if(NOT cpp)
    return()
  endif()
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_DEPS} tk_sanitizers)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE TK_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                                             TK_BINARY_DIR="${CMAKE_BINARY_DIR}")
  tk_warnings(${name})
  add_test(NAME ${name} COMMAND ${name})
  set(env ${A_ENV})
  if(A_LABEL STREQUAL "widget")
    list(APPEND env QT_QPA_PLATFORM=offscreen)
  endif()
  if(A_LABEL STREQUAL "unit")
    list(APPEND env QT_QPA_PLATFORM=offscreen)
    set_property(GLOBAL APPEND PROPERTY TK_UNIT_TESTS ${name})
  endif()
  set_tests_properties(${name} PROPERTIES LABELS ${A_LABEL} TIMEOUT ${A_TIMEOUT}
                                          ENVIRONMENT "${env}")
  if(A_DEPS MATCHES "GTest::")
    # A skipped GoogleTest case shows as a skipped test, not as a pass.
    if(NOT TARGET tk_gtest_skip_code)
      add_library(tk_gtest_skip_code OBJECT ${PROJECT_SOURCE_DIR}/tests/support/GTestSkipCode.cpp)
      target_link_libraries(tk_gtest_skip_code PRIVATE GTest::gtest)
    endif()
    target_link_libraries(${name} PRIVATE tk_gtest_skip_code)
    set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77)
  endif()
  if(A_LABEL STREQUAL "x11")
    # They share the runner's display (pointer, focus, root window): one at a time.
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK x11_display)
  endif()
endfunction()

# tk_desktop_test(NAME WM [SCREENS WxH+WxH[,primary=N]] [TIMEOUT s] COMMAND ...):
# COMMAND on a private desktop (tests/desktop/with_desktop.sh) managed by WM
# (none, openbox, mutter, kwin, xfwm4), labelled "desktop". The wrapper's
# helper, desktop_x11, is built with the tests.
function(tk_desktop_test name wm)
  cmake_parse_arguments(A "" "SCREENS;TIMEOUT" "COMMAND" ${ARGN})
  set(screens)
  if(A_SCREENS)
    set(screens --screens ${A_SCREENS})
  endif()
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 240)
  endif()
  add_test(NAME ${name}
           COMMAND ${PROJECT_SOURCE_DIR}/tests/desktop/with_desktop.sh --wm ${wm} ${screens}
                   --bin ${CMAKE_BINARY_DIR}/bin -- ${A_COMMAND})
  set_tests_properties(${name} PROPERTIES LABELS desktop TIMEOUT ${A_TIMEOUT})
endfunction()

function(_tk_targets_below dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS subdirs)
    _tk_targets_below(${sub} more)
    list(APPEND targets ${more})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

# One target that builds every unit test, for the sanitizer run, and one that
# builds everything else the default build does, for a run that leaves the
# unit tests to the sanitized tree.
function(tk_finish_unit_tests)
  get_property(tests GLOBAL PROPERTY TK_UNIT_TESTS)
  add_custom_target(unit_tests)
  if(tests)
    add_dependencies(unit_tests ${tests})
  endif()
  _tk_targets_below(${PROJECT_SOURCE_DIR} targets)
  add_custom_target(all_but_unit_tests)
  foreach(t IN LISTS targets)
    get_target_property(type ${t} TYPE)
    get_target_property(excluded ${t} EXCLUDE_FROM_ALL)
    if(NOT type STREQUAL "INTERFACE_LIBRARY" AND NOT excluded AND NOT t IN_LIST tests)
      add_dependencies(all_but_unit_tests ${t})
    endif()
  endforeach()
endfunction()

# Fails the configure step when one of the targets reaches Qt Widgets through
# its link libraries.
function(_tk_collect_links target out)
  set(seen ${${out}})
  if(target IN_LIST seen OR NOT TARGET ${target})
    return()
  endif()
  list(APPEND seen ${target})
  get_target_property(type ${target} TYPE)
  set(links)
  if(NOT type STREQUAL "INTERFACE_LIBRARY")
    get_target_property(l1 ${target} LINK_LIBRARIES)
    if(l1)
      list(APPEND links ${l1})
    endif()
  endif()
  get_target_property(l2 ${target} INTERFACE_LINK_LIBRARIES)
  if(l2)
    list(APPEND links ${l2})
  endif()
  foreach(l IN LISTS links)
    string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" l "${l}")
    _tk_collect_links(${l} seen)
  endforeach()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

function(tk_forbid_widgets)
  foreach(t IN LISTS ARGN)
    if(TARGET ${t})
      set(all)
      _tk_collect_links(${t} all)
      if("Qt6::Widgets" IN_LIST all OR "Qt::Widgets" IN_LIST all)
        message(FATAL_ERROR "${t} must not link Qt Widgets (core libraries stay free of widgets)")
      endif()
    endif()
  endforeach()
endfunction()

# The sources of the folder being configured (every .cpp and .h, main.cpp and
# files named *_main.cpp excepted), so that new files need no CMake edit.
function(tk_folder_sources out)
  file(GLOB files CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp
       ${CMAKE_CURRENT_SOURCE_DIR}/*.h ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  list(FILTER files EXCLUDE REGEX "/main\\.cpp$|_main\\.cpp$")
  set(${out} ${files} PARENT_SCOPE)
endfunction()
