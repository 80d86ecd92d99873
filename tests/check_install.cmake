# Installs the build into PREFIX and checks what a desktop user needs there.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
foreach(path bin/keilbrecher libexec/keilbrecher/keilbrecher-exchange share/applications/keilbrecher.desktop
             share/icons/hicolor/scalable/apps/keilbrecher.svg share/icons/hicolor/48x48/apps/keilbrecher.png)
  if(NOT EXISTS "${PREFIX}/${path}")
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endforeach()
file(STRINGS "${PREFIX}/share/applications/keilbrecher.desktop" exec REGEX "^Exec=")
if(NOT exec STREQUAL "Exec=keilbrecher")
  message(FATAL_ERROR "desktop entry starts '${exec}', not the program")
endif()
