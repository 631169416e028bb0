# Read by cpack at packaging time. Each Debian package (the program, the world) names its own synopsis
# on the first line of its description; CPack would put the project's summary in front of both.
set(CPACK_DEFAULT_PACKAGE_DESCRIPTION_SUMMARY "${CPACK_PACKAGE_DESCRIPTION_SUMMARY}")
