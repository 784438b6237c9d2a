# The Windows half: service, transport, panels, click actions, and the DLL.
file(GLOB TR_WIN_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_CURRENT_SOURCE_DIR}/api/*.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/service/*.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/panels/*.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/actions/*.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/*_win.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/protocol/*_win.cpp)
list(FILTER TR_WIN_SOURCES EXCLUDE REGEX "/api/(exports|terminate_handler)\\.cpp$")
# The window-free slide is in the core already.
list(FILTER TR_WIN_SOURCES EXCLUDE REGEX "/panels/panel_slide\\.cpp$")

# tr_win holds everything but the export edge, so the Windows tests can
# link the same code that the DLL is made of.
add_library(tr_win STATIC ${TR_WIN_SOURCES})
target_link_libraries(tr_win PUBLIC tr_core ws2_32 wininet ole32 oleaut32 oleacc uuid shell32 gdi32 user32)

# Resources of the library (the skin bitmap): TR_RESOURCES.
include(${CMAKE_CURRENT_SOURCE_DIR}/resources.cmake)

include(${PROJECT_SOURCE_DIR}/cmake/version_resource.cmake)
tr_version_resource(TR_DLL_VERSION tiprelay.dll "Tips for the host application" VFT_DLL)

add_library(tiprelay SHARED api/exports.cpp api/terminate_handler.cpp api/tiprelay.def ${TR_RESOURCES} ${TR_DLL_VERSION})
target_link_libraries(tiprelay PRIVATE tr_win)
target_include_directories(tiprelay PRIVATE ${PROJECT_SOURCE_DIR}/include)
set_target_properties(tiprelay PROPERTIES PREFIX "" OUTPUT_NAME tiprelay)
# __stdcall exports go out under their plain names, as the .def lists them.
# Sections aligned to pages in the file too, so that a loader can map them
# from the file instead of copying them into the host's private memory.
target_link_options(tiprelay PRIVATE -Wl,--enable-stdcall-fixup -Wl,--kill-at -Wl,--file-alignment,4096)
# The linker's map names every archive it took members from; the release's
# bill of materials is read from it.
target_link_options(tiprelay PRIVATE -Wl,-Map=$<TARGET_FILE:tiprelay>.map)

# The library's code is optimised for size: it lives in its host's process,
# and its paint and start figures are the same at -Os as at -O2.
foreach(target tr_core tr_win tiprelay)
  target_compile_options(${target} PRIVATE $<$<NOT:$<CONFIG:Debug>>:-Os>)
endforeach()

# Import libraries. On i686, __stdcall callers link against the decorated
# names, which dlltool -k maps to the DLL's plain export names; x86-64 has
# one calling convention and no decoration, so its import libraries come
# from the DLL's own .def. The linker's own import library has only the
# plain names, so the target's is replaced and a host in this build links
# `tiprelay` as a host developer links the SDK.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(TR_IMPORT_DEF ${CMAKE_CURRENT_SOURCE_DIR}/api/tiprelay.def)
  set(TR_LLVM_MACHINE i386:x86-64)
else()
  set(TR_IMPORT_DEF ${CMAKE_CURRENT_SOURCE_DIR}/api/tiprelay_import.def)
  set(TR_LLVM_MACHINE i386)
endif()
set_property(TARGET tiprelay APPEND PROPERTY LINK_DEPENDS ${TR_IMPORT_DEF})
# dlltool names its symbols and members after the output path as given, so
# it runs beside its output and is given a bare file name.
add_custom_command(TARGET tiprelay POST_BUILD
  COMMAND ${TOOLCHAIN_PREFIX}-dlltool -k -d ${TR_IMPORT_DEF} -l $<TARGET_LINKER_FILE_NAME:tiprelay>
  WORKING_DIRECTORY $<TARGET_LINKER_FILE_DIR:tiprelay>)

# The host SDK: the import libraries for MinGW and MSVC, and the CMake
# package files (tiprelay::tiprelay) that scripts/release.sh puts into the zip.
# The MSVC one comes from LLVM's dlltool: its members carry the mark that a
# 32-bit link with /SAFESEH (Visual Studio's default) demands, and are named
# after the DLL, not after a path of the build machine.
find_program(TR_LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14 REQUIRED)
set(TR_SDK_DIR ${CMAKE_BINARY_DIR}/sdk)
add_custom_command(
  OUTPUT ${TR_SDK_DIR}/libtiprelay.dll.a ${TR_SDK_DIR}/tiprelay.lib
  COMMAND ${CMAKE_COMMAND} -E make_directory ${TR_SDK_DIR}
  COMMAND ${TOOLCHAIN_PREFIX}-dlltool -k -d ${TR_IMPORT_DEF} -l libtiprelay.dll.a
  COMMAND ${TR_LLVM_DLLTOOL} -m ${TR_LLVM_MACHINE} -k -d ${TR_IMPORT_DEF} -l tiprelay.lib
  WORKING_DIRECTORY ${TR_SDK_DIR}
  DEPENDS ${TR_IMPORT_DEF}
  COMMENT "Import libraries for host developers")
add_custom_target(tiprelay_sdk ALL DEPENDS ${TR_SDK_DIR}/libtiprelay.dll.a ${TR_SDK_DIR}/tiprelay.lib)
include(CMakePackageConfigHelpers)
configure_file(${PROJECT_SOURCE_DIR}/packaging/cmake/tiprelayConfig.cmake
  ${TR_SDK_DIR}/cmake/tiprelayConfig.cmake COPYONLY)
# One package serves 32-bit and 64-bit projects: tiprelayConfig.cmake picks
# the architecture by the project's pointer size.
# Before 1.0 a minor version may change the exports' behaviour: a 0.x
# package serves only requests for its own minor version.
if(PROJECT_VERSION_MAJOR EQUAL 0)
  set(TR_SDK_COMPATIBILITY SameMinorVersion)
else()
  set(TR_SDK_COMPATIBILITY SameMajorVersion)
endif()
write_basic_package_version_file(${TR_SDK_DIR}/cmake/tiprelayConfigVersion.cmake
  COMPATIBILITY ${TR_SDK_COMPATIBILITY} ARCH_INDEPENDENT)
