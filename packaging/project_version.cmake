# Prints the project version that a configured build folder was made with, as a package
# takes it: cmake -DBUILD=build/win32 -P packaging/project_version.cmake
# The version is written once, in project() of the top CMakeLists.txt.
if(NOT BUILD)
  message(FATAL_ERROR "give the build folder: -DBUILD=<folder>")
endif()
load_cache("${BUILD}" READ_WITH_PREFIX "" CMAKE_PROJECT_VERSION)
if(NOT CMAKE_PROJECT_VERSION)
  message(FATAL_ERROR "${BUILD} has no configured project version")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" -E echo "${CMAKE_PROJECT_VERSION}")
