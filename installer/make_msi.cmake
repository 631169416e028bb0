# Builds Tillands.msi with wixl so that two builds of one commit give the same bytes (cmake -P, from
# installer/CMakeLists.txt). wixl stamps the package with the clock and a random package code, and
# its cabinet keeps the files' modification times; so
#   - the staged files get the time of the last commit (SOURCE_DATE_EPOCH when set),
#   - wixl and msibuild run with the clock frozen at that time (faketime),
#   - the package code is derived from the version and the packaged bytes: a changed package gets a
#     new code, the same package the same one.
# Without faketime the MSI is built all the same, only not reproducibly (a warning says so).
#
# -D: WIXL MSIBUILD MSIINFO FAKETIME (may be empty) WXS STAGE OUTPUT VERSION PRODUCT_CODE SOURCE_DIR
cmake_minimum_required(VERSION 3.20)

if(DEFINED ENV{SOURCE_DATE_EPOCH} AND NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  set(_epoch $ENV{SOURCE_DATE_EPOCH})
else()
  execute_process(COMMAND git -C ${SOURCE_DIR} log -1 --format=%ct OUTPUT_VARIABLE _epoch
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE _git)
  if(NOT _git EQUAL 0 OR _epoch STREQUAL "")
    set(_epoch 0)
  endif()
endif()
set(ENV{SOURCE_DATE_EPOCH} ${_epoch})
string(TIMESTAMP _when "%Y-%m-%d %H:%M:%S" UTC)
set(ENV{TZ} UTC)

file(GLOB _staged ${STAGE}/*)
list(SORT _staged)
set(_fingerprint "${VERSION}")
foreach(_f ${WXS} ${_staged})
  file(SHA256 ${_f} _sum)
  string(APPEND _fingerprint " ${_sum}")
endforeach()
# A fixed namespace of this project's package codes.
string(UUID _package_code NAMESPACE 9b3c1f0e-5a27-4c6d-8e41-2f7a6d0c3b85 NAME "${_fingerprint}" TYPE SHA1 UPPER)

set(_frozen)
if(FAKETIME)
  set(_frozen ${FAKETIME} -f "${_when}")
  execute_process(COMMAND touch -d @${_epoch} ${_staged} COMMAND_ERROR_IS_FATAL ANY)
else()
  message(WARNING "faketime not found (Debian package faketime): the MSI carries the build time")
endif()

execute_process(
  COMMAND ${_frozen} ${WIXL} -a x64 -D Version=${VERSION} -D ProductCode=${PRODUCT_CODE} -o ${OUTPUT}.tmp ${WXS}
  WORKING_DIRECTORY ${STAGE} COMMAND_ERROR_IS_FATAL ANY)

# msibuild -s rewrites the whole summary: take back what wixl wrote and change only the code.
execute_process(COMMAND ${MSIINFO} suminfo ${OUTPUT}.tmp OUTPUT_VARIABLE _summary COMMAND_ERROR_IS_FATAL ANY)
foreach(_field Subject Author Template)
  string(REGEX MATCH "\n${_field}: ([^\n]*)" _line "\n${_summary}")
  set(_${_field} "${CMAKE_MATCH_1}")
endforeach()
execute_process(
  COMMAND ${_frozen} ${MSIBUILD} ${OUTPUT}.tmp -s "${_Subject}" "${_Author}" "${_Template}" "{${_package_code}}"
  COMMAND_ERROR_IS_FATAL ANY)
file(RENAME ${OUTPUT}.tmp ${OUTPUT})
