# tiprelay for CMake hosts:
#   find_package(tiprelay CONFIG REQUIRED)
#   target_link_libraries(host PRIVATE tiprelay::tiprelay)
# Paths are relative to this file (lib/cmake/tiprelay/ in the SDK folder),
# so the unpacked SDK may live anywhere.
get_filename_component(_tiprelay_root "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
if(MSVC)
  set(_tiprelay_implib "${_tiprelay_root}/tiprelay.lib")
else()
  set(_tiprelay_implib "${_tiprelay_root}/libtiprelay.dll.a")
endif()
foreach(_tiprelay_file "${_tiprelay_root}/tiprelay.h" "${_tiprelay_root}/tiprelay.dll" "${_tiprelay_implib}")
  if(NOT EXISTS "${_tiprelay_file}")
    set(tiprelay_FOUND FALSE)
    set(tiprelay_NOT_FOUND_MESSAGE "the SDK folder lacks ${_tiprelay_file}")
    return()
  endif()
endforeach()

if(NOT TARGET tiprelay::tiprelay)
  add_library(tiprelay::tiprelay SHARED IMPORTED)
  # The import library carries the __stdcall names of tiprelay.h.
  set_target_properties(tiprelay::tiprelay PROPERTIES
    IMPORTED_LOCATION "${_tiprelay_root}/tiprelay.dll"
    IMPORTED_IMPLIB "${_tiprelay_implib}"
    INTERFACE_INCLUDE_DIRECTORIES "${_tiprelay_root}")
endif()
unset(_tiprelay_file)
unset(_tiprelay_implib)
unset(_tiprelay_root)
