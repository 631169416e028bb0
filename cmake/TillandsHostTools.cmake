# The host-tools stage of the Windows build. The resources of the .scr and the demo world of the MSI
# are made by the native tillands-assets: either from a native build directory given in
# TL_HOST_TOOLS_DIR (the test command reuses its release build), or built here from this same source
# tree as an external project in <build>/host-tools. Defines TL_HOST_ASSETS (the program) and the target
# tl_host_tools that everything using it depends on.
set(TL_HOST_TOOLS_DIR "" CACHE PATH "A native build directory whose tools/tillands-assets the Windows build uses (empty: build one)")

if(TL_HOST_TOOLS_DIR)
  set(TL_HOST_ASSETS ${TL_HOST_TOOLS_DIR}/tools/tillands-assets)
  if(NOT EXISTS ${TL_HOST_ASSETS})
    message(FATAL_ERROR "TL_HOST_TOOLS_DIR: ${TL_HOST_ASSETS} does not exist (build the target tillands-assets there first)")
  endif()
  add_custom_target(tl_host_tools)
else()
  include(ExternalProject)
  set(_host ${CMAKE_BINARY_DIR}/host-tools)
  set(TL_HOST_ASSETS ${_host}/tools/tillands-assets)
  ExternalProject_Add(tl_host_tools
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${_host}
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DTL_TESTS=OFF -DTL_BENCH=OFF -DTL_WORLD=OFF
               -DCMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER}
               -DCMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER}
    BUILD_COMMAND ${CMAKE_COMMAND} --build ${_host} --target tillands-assets
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${TL_HOST_ASSETS})
endif()
