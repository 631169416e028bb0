# Shared compile settings and the one-library-per-subsystem helper.

# Determinism: identical float results on every platform and compiler we ship with.
set(TL_COMMON_FLAGS -ffp-contract=off -fno-fast-math)
set(TL_WARNING_FLAGS -Wall -Wextra -Werror)
# GCC 12 reports -Wrestrict, -Warray-bounds and -Wstringop-overflow inside libstdc++'s own std::string
# code at -O2 (GCC bugs 105651, 105746, 105329), and at -O3 -Wstringop-overread inside std::equal's
# memcmp when vectors are compared; the diagnostics point into the standard library, not at our code,
# so they are switched off for that compiler. Real out-of-bounds accesses are the sanitizers' and fuzzers' job.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  list(APPEND TL_WARNING_FLAGS -Wno-restrict -Wno-array-bounds -Wno-stringop-overflow
       -Wno-stringop-overread)
endif()

# Every sanitizer report ends the run as a failure: a report that only prints lets a test or a fuzz
# run count as clean while undefined behaviour went by.
if(TL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()
if(TL_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()
# What the fuzzers never run (the tools, the unit tests) needs no coverage instrumentation: it
# only makes those files slower to compile and to run. Their folders add this.
set(TL_NO_FUZZ_COVERAGE "")
if(TL_FUZZ)
  set(TL_NO_FUZZ_COVERAGE -fno-sanitize=fuzzer-no-link)
endif()

function(tl_target_settings target)
  target_compile_options(${target} PRIVATE ${TL_COMMON_FLAGS} ${TL_WARNING_FLAGS})
  if(MINGW)
    target_compile_definitions(${target} PRIVATE _CRT_SECURE_NO_WARNINGS)
  endif()
endfunction()

# tl_subsystem_library(NAME DEPS...): a static library of every .cpp in the calling folder
# (and its platform/ subfolder); new files are picked up without editing any CMakeLists.
function(tl_subsystem_library name)
  file(GLOB _srcs CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp
       ${CMAKE_CURRENT_SOURCE_DIR}/platform/*.cpp)
  if(NOT _srcs)
    # A subsystem that has no code yet still exists as a target so dependants can link it.
    set(_stub ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
    file(WRITE ${_stub} "// no sources yet\n")
    set(_srcs ${_stub})
  endif()
  add_library(${name} STATIC ${_srcs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARGN})
  tl_target_settings(${name})
endfunction()
