# tiprelay for CMake hosts:
#   find_package(tiprelay CONFIG REQUIRED)
#   target_link_libraries(host PRIVATE tiprelay::tiprelay)
# Paths are relative to this file (lib/cmake/tiprelay/ in the SDK folder),
# so the unpacked SDK may live anywhere. The library is picked by the
# project's pointer size: bin/x86 and lib/x86 for 32-bit hosts, bin/x64 and
# lib/x64 for 64-bit ones.
get_filename_component(_tiprelay_root "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
if(NOT WIN32)
  set(tiprelay_FOUND FALSE)
  set(tiprelay_NOT_FOUND_MESSAGE "tiprelay is a Windows library; this project builds for ${CMAKE_SYSTEM_NAME} "
                                 "(use a Windows toolchain: MinGW-w64 or MSVC)")
  return()
endif()
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(_tiprelay_arch x86)
elseif(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(_tiprelay_arch x64)
else()
  set(tiprelay_FOUND FALSE)
  set(tiprelay_NOT_FOUND_MESSAGE "tiprelay is built for 32-bit (x86) and 64-bit (x64) hosts; this project's pointer "
                                 "size is '${CMAKE_SIZEOF_VOID_P}' (enable C or C++ before find_package)")
  return()
endif()
if(MSVC)
  set(_tiprelay_implib "${_tiprelay_root}/lib/${_tiprelay_arch}/tiprelay.lib")
else()
  set(_tiprelay_implib "${_tiprelay_root}/lib/${_tiprelay_arch}/libtiprelay.dll.a")
endif()
foreach(_tiprelay_file "${_tiprelay_root}/include/tiprelay.h" "${_tiprelay_root}/bin/${_tiprelay_arch}/tiprelay.dll"
                       "${_tiprelay_implib}")
  if(NOT EXISTS "${_tiprelay_file}")
    set(tiprelay_FOUND FALSE)
    set(tiprelay_NOT_FOUND_MESSAGE "the SDK folder lacks ${_tiprelay_file} (${_tiprelay_arch} build)")
    return()
  endif()
endforeach()

if(NOT TARGET tiprelay::tiprelay)
  add_library(tiprelay::tiprelay SHARED IMPORTED)
  # The import library carries the names of tiprelay.h for this architecture.
  set_target_properties(tiprelay::tiprelay PROPERTIES
    IMPORTED_LOCATION "${_tiprelay_root}/bin/${_tiprelay_arch}/tiprelay.dll"
    IMPORTED_IMPLIB "${_tiprelay_implib}"
    INTERFACE_INCLUDE_DIRECTORIES "${_tiprelay_root}/include")
endif()
set(tiprelay_ARCH ${_tiprelay_arch})
unset(_tiprelay_arch)
unset(_tiprelay_file)
unset(_tiprelay_implib)
unset(_tiprelay_root)
