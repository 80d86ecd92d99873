# The record lookup, free of any toolkit: the run and the block extraction
# (run/), the folder check (folder_check/) and the shared folder
# (shared_folder/), over starting and waiting for a program (process/, the
# library `process`). Depends on the C++ standard library, the operating
# system and the system layer (system/) only.

if(WIN32)
  set(_platform windows)
else()
  set(_platform posix)
endif()

add_library(process STATIC
  process/launcher.cpp process/process_wait.cpp process/responsive_wait.cpp
  process/launcher.${_platform}.cpp process/process_wait.${_platform}.cpp process/responsive_wait.${_platform}.cpp)
target_include_directories(process PUBLIC "${CMAKE_SOURCE_DIR}/process")
target_link_libraries(process PUBLIC system_support)
keil_warnings(process)

set(KEIL_LOOKUP_SOURCES
  run/extract.cpp
  run/lookup_run.cpp
  folder_check/folder_guard.cpp
  folder_check/folder_guard.${_platform}.cpp
  shared_folder/exchange_file.cpp
  shared_folder/exchange_file.${_platform}.cpp
  shared_folder/fixed_paths.cpp
  shared_folder/folder_lock.cpp)
if(WIN32)
  list(APPEND KEIL_LOOKUP_SOURCES shared_folder/folder_lock.windows.cpp)
else()
  list(APPEND KEIL_LOOKUP_SOURCES shared_folder/helper_client.posix.cpp)
endif()
list(TRANSFORM KEIL_LOOKUP_SOURCES PREPEND "${CMAKE_SOURCE_DIR}/")

# The lookup library `name` for the lookup folder `folder` and, on Linux,
# the helper at `helper`: both fixed when it is built.
function(keil_lookup_library name folder helper)
  set(FIBU_DIR "${folder}")
  set(KEIL_EXCHANGE_HELPER "${helper}")
  set(_generated "${CMAKE_BINARY_DIR}/lookup/${name}-generated")
  configure_file("${CMAKE_SOURCE_DIR}/shared_folder/fibu_dir.h.in" "${_generated}/fibu_dir.h" @ONLY)
  add_library(${name} STATIC ${KEIL_LOOKUP_SOURCES})
  target_include_directories(${name}
    PUBLIC "${CMAKE_SOURCE_DIR}/run" "${CMAKE_SOURCE_DIR}/folder_check" "${CMAKE_SOURCE_DIR}/shared_folder"
    PRIVATE "${_generated}" "${CMAKE_SOURCE_DIR}/helper")
  target_link_libraries(${name} PUBLIC process)
  keil_warnings(${name})
  if(WIN32)
    # The security descriptors of the folder lock and the folder's entries.
    target_link_libraries(${name} PRIVATE advapi32)
  endif()
endfunction()

keil_lookup_library(lookup "${FIBU_DIR}" "${KEIL_EXCHANGE_HELPER}")
