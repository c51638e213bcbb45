# The 64-bit Windows build (cross-compiled with mingw-w64, see
# packaging/windows/): the libraries come from packaging/windows/build-deps.sh,
# the folders built are the ones that have a Windows side.
#
# TK_WINDOWS_PLATFORM_ONLY builds what needs no Qt, while Qt is still being
# built: the platform layer, the settings files, jpgdll.dll and, once OpenCV
# is in the cache, tracking, camera, calibration and the simulator, with
# their tests.
option(TK_WINDOWS_PLATFORM_ONLY "Windows: only the parts that need neither Qt nor OpenCV" OFF)

set(TK_WINDOWS_FOLDERS common/ini common/platform kalvo/jpgdll tests tests/common tests/windows
    packaging)
if(NOT TK_WINDOWS_PLATFORM_ONLY)
  list(APPEND TK_WINDOWS_FOLDERS common/cli tovik/tracking tovik/camera tovik/calibration sim
       tovik/console tovik/app kalvo/core kalvo/ui tests/tovik/tracking tests/tovik/camera
       tests/tovik/calibration tests/sim tests/kalvo/core)
  find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets Test)
  find_package(OpenCVModules REQUIRED COMPONENTS core imgproc calib3d imgcodecs videoio)
  # The host's rcc compresses with zstd by default; this Qt cannot read it.
  if(NOT QT_FEATURE_zstd)
    set(CMAKE_AUTORCC_OPTIONS --no-zstd)
  endif()
else()
  find_package(OpenCVModules QUIET COMPONENTS core imgproc calib3d imgcodecs videoio)
  if(OpenCVModules_FOUND)
    list(APPEND TK_WINDOWS_FOLDERS tovik/tracking tovik/camera tovik/calibration sim
         tests/tovik/tracking tests/tovik/camera tests/tovik/calibration tests/sim)
  endif()
  set(CMAKE_AUTOMOC OFF)
  set(CMAKE_AUTORCC OFF)
endif()

find_package(Threads REQUIRED)
# jpgdll links the TurboJPEG API under the name the Linux build gives it;
# without it (platform layer only) jpgdll is left out.
if(TK_WINDOWS_PLATFORM_ONLY)
  find_package(libjpeg-turbo CONFIG)
else()
  find_package(libjpeg-turbo REQUIRED CONFIG)
endif()
if(libjpeg-turbo_FOUND)
  add_library(PkgConfig::TURBOJPEG INTERFACE IMPORTED)
  set_target_properties(PkgConfig::TURBOJPEG PROPERTIES
                        INTERFACE_LINK_LIBRARIES libjpeg-turbo::turbojpeg)
else()
  list(REMOVE_ITEM TK_WINDOWS_FOLDERS kalvo/jpgdll)
endif()
if(TK_BUILD_TESTS)
  find_package(GTest REQUIRED CONFIG)
  enable_testing()
endif()
# Static C and C++ runtimes would be simpler to ship but would give every DLL
# its own heap; the programs ship mingw-w64's runtime DLLs instead.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00)
