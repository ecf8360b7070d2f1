# The Windows zip (make windows-package): both programs, the DLLs the desktop
# program needs and a short readme, so it runs on a machine with nothing
# installed. Unpacked, it is one folder named like the zip.

configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/README-windows.txt.in
               ${PROJECT_BINARY_DIR}/README-windows.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${PROJECT_BINARY_DIR}/README-windows.txt DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME LICENSE.txt)
install(FILES ${PROJECT_SOURCE_DIR}/examples/WitsDialogInfo.txt
              ${PROJECT_SOURCE_DIR}/examples/made-up-well.csv
              ${PROJECT_SOURCE_DIR}/examples/made-up-well.jsonl
        DESTINATION ${CMAKE_INSTALL_BINDIR}/examples)
# The programs themselves are installed where they are built.
if(TARGET korvane)
  install(FILES ${KORVANE_MINGW_RUNTIME_DLLS}
                $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets>
          DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin>
          DESTINATION ${CMAKE_INSTALL_BINDIR}/platforms)
  install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin>
          DESTINATION ${CMAKE_INSTALL_BINDIR}/styles)
  # Whoever passes Qt on passes its licence on: the LGPL 3 and the GPL 3 it
  # builds on, from Debian's common licences.
  foreach(licence LGPL-3 GPL-3)
    set(text /usr/share/common-licenses/${licence})
    if(NOT EXISTS ${text})
      message(FATAL_ERROR "${text} is missing: the zip must carry the ${licence} text for Qt")
    endif()
    install(FILES ${text} DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME ${licence}.txt)
  endforeach()
  # The DLLs come with their debugging symbols (libstdc++ alone is 23 MB).
  install(CODE "
    file(GLOB_RECURSE dlls \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/*.dll\")
    execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded \${dlls} COMMAND_ERROR_IS_FATAL ANY)")
endif()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME korvane)
set(CPACK_PACKAGE_FILE_NAME "korvane-${PROJECT_VERSION}-windows-x64")
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
set(CPACK_STRIP_FILES ON)
include(CPack)
