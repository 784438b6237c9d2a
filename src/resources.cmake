# The library's resources: the panel skin, bitmap 1004. make_skin is a
# program for the build machine, so it is compiled with the host's own C++
# compiler (this build cross-compiles) and run to draw the bitmap, which
# windres then compiles in.
enable_language(RC)

find_program(TR_HOST_CXX NAMES c++ g++ clang++ REQUIRED NO_CMAKE_FIND_ROOT_PATH)
set(TR_SKIN_DIR ${CMAKE_CURRENT_BINARY_DIR}/skin)
set(TR_MAKE_SKIN ${TR_SKIN_DIR}/make_skin)
set(TR_SKIN_BMP ${TR_SKIN_DIR}/skin.bmp)
set(TR_SKIN_SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/panels/skin/make_skin.cpp)

add_custom_command(
  OUTPUT ${TR_MAKE_SKIN}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${TR_SKIN_DIR}
  COMMAND ${TR_HOST_CXX} -std=c++17 -O2 -o ${TR_MAKE_SKIN} ${TR_SKIN_SOURCE}
  DEPENDS ${TR_SKIN_SOURCE}
  COMMENT "Building the skin generator for the build machine")
add_custom_command(
  OUTPUT ${TR_SKIN_BMP}
  COMMAND ${TR_MAKE_SKIN} ${TR_SKIN_BMP}
  DEPENDS ${TR_MAKE_SKIN}
  COMMENT "Drawing the panel skin")
add_custom_target(tr_skin DEPENDS ${TR_SKIN_BMP})

# One object library holds the compiled resources, so the DLL and the
# Windows tests (which link the panels statically) both carry the skin.
add_library(tr_resources OBJECT panels/skin/skin.rc)
target_include_directories(tr_resources PRIVATE ${TR_SKIN_DIR})
set_source_files_properties(panels/skin/skin.rc PROPERTIES OBJECT_DEPENDS ${TR_SKIN_BMP})
add_dependencies(tr_resources tr_skin)

set(TR_RESOURCES $<TARGET_OBJECTS:tr_resources>)
# The Windows tests are configured in a sibling folder and need it too.
set(TR_RESOURCES $<TARGET_OBJECTS:tr_resources> PARENT_SCOPE)
