# Finds the per-module OpenCV 4 packages (headers and libraries, no CMake
# package file) and makes one imported target per component: OpenCV::core, ...
find_path(OpenCV_INCLUDE_DIR opencv2/core.hpp PATH_SUFFIXES opencv4)
set(_found TRUE)
foreach(c IN LISTS OpenCVModules_FIND_COMPONENTS)
  # The Windows build names its import libraries with the version (460).
  find_library(OpenCV_${c}_LIBRARY NAMES opencv_${c} opencv_${c}460)
  if(OpenCV_${c}_LIBRARY AND OpenCV_INCLUDE_DIR)
    if(NOT TARGET OpenCV::${c})
      add_library(OpenCV::${c} UNKNOWN IMPORTED)
      set_target_properties(OpenCV::${c} PROPERTIES
        IMPORTED_LOCATION ${OpenCV_${c}_LIBRARY}
        INTERFACE_INCLUDE_DIRECTORIES ${OpenCV_INCLUDE_DIR})
    endif()
  else()
    set(_found FALSE)
  endif()
endforeach()
include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(OpenCVModules REQUIRED_VARS OpenCV_INCLUDE_DIR _found)
