# The demo world and the program's generated resources, both made by tillands-assets at build time
# into the build tree (nothing generated is committed).

# World: <build>/world/Tillands is the data directory ("GamePath") that the saver, the headless front
# end and the tests use by default. It is rebuilt from scratch whenever the generator changes, so no
# stale file (or cache written by an earlier run) survives.
set(TL_WORLD_DIR ${CMAKE_BINARY_DIR}/world/Tillands)
set(TL_WORLD_STAMP ${CMAKE_BINARY_DIR}/world/world.stamp)
add_custom_command(
  OUTPUT ${TL_WORLD_STAMP}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${TL_WORLD_DIR}
  COMMAND $<TARGET_FILE:tillands-assets> make-world ${TL_WORLD_DIR}
  COMMAND ${CMAKE_COMMAND} -E touch ${TL_WORLD_STAMP}
  DEPENDS tillands-assets
  COMMENT "Generating the demo world in ${TL_WORLD_DIR}"
  VERBATIM)
add_custom_target(tl_world_data ALL DEPENDS ${TL_WORLD_STAMP})

# Program resources: the WAVE sounds, the preview bitmap and the icons as a C++ table compiled into
# tl_resources_generated (see shell/resources/resources.h).
set(TL_GENERATED_RESOURCES ${CMAKE_BINARY_DIR}/generated/tl_generated_resources.cpp)
add_custom_command(
  OUTPUT ${TL_GENERATED_RESOURCES}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated
  COMMAND $<TARGET_FILE:tillands-assets> make-resources ${TL_GENERATED_RESOURCES}
  DEPENDS tillands-assets
  COMMENT "Synthesising the program resources"
  VERBATIM)
add_custom_target(tl_generated_resources_source DEPENDS ${TL_GENERATED_RESOURCES})
if(COMMAND tl_add_generated_resources)
  tl_add_generated_resources(${TL_GENERATED_RESOURCES} DEPENDS tl_generated_resources_source)
endif()

# The generator renders thousands of small 3D scenes; unoptimised it takes minutes instead of seconds.
# Optimise it in every build type (debug information stays).
target_compile_options(tl_world PRIVATE -O2)
