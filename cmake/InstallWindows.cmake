# Windows: install rules and the NSIS installer (cpack -G NSIS in the build folder; Debian's nsis
# package makes it on Linux). Everything goes into one folder: the programs, Qt's DLLs and its
# platform plugins, the MinGW runtime, and the sounds in voice\ beside the program. The
# Start-menu shortcut starts the window in that folder, so that the relative sound names
# ("voice//update_is_ready.wav", resolved against the current folder) find the installed files.
set(corvane_programs)
foreach(program corvane-programmer corvane-flash corvane-pack)
  if(TARGET ${program})
    list(APPEND corvane_programs ${program})
  endif()
endforeach()
install(TARGETS ${corvane_programs} RUNTIME DESTINATION .)

install(FILES $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets> DESTINATION .)
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> $<TARGET_FILE:Qt6::QOffscreenIntegrationPlugin>
        DESTINATION platforms)
foreach(runtime libgcc_s_seh-1.dll libstdc++-6.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${runtime}
                  OUTPUT_VARIABLE corvane_runtime_dll OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${corvane_runtime_dll}" OR NOT EXISTS "${corvane_runtime_dll}")
    message(FATAL_ERROR "${runtime} not found by ${CMAKE_CXX_COMPILER}")
  endif()
  install(FILES "${corvane_runtime_dll}" DESTINATION .)
endforeach()

install(FILES "${PROJECT_SOURCE_DIR}/voice/update_is_ready.wav" "${PROJECT_SOURCE_DIR}/voice/update_failed.wav"
        DESTINATION voice)
install(FILES "${PROJECT_SOURCE_DIR}/LICENSE" DESTINATION . RENAME LICENSE.txt)

set(CPACK_PACKAGE_NAME corvane-programmer)
set(CPACK_PACKAGE_VENDOR "Corvane")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "firmware updater for Corvane lighting and LED controllers")
set(CPACK_PACKAGE_FILE_NAME "corvane-programmer-${PROJECT_VERSION}-win64")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Corvane Programmer")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "Corvane Programmer")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR NSIS)

set(CPACK_NSIS_PACKAGE_NAME "Corvane Programmer")
set(CPACK_NSIS_DISPLAY_NAME "Corvane Programmer ${PROJECT_VERSION}")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_MUI_ICON "${PROJECT_SOURCE_DIR}/packaging/icons/corvane-programmer.ico")
set(CPACK_NSIS_MUI_UNIICON "${PROJECT_SOURCE_DIR}/packaging/icons/corvane-programmer.ico")
set(CPACK_NSIS_INSTALLED_ICON_NAME "corvane-programmer.exe")
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
# A 64-bit installer for 64-bit programs (makensis makes 32-bit ones unless told). CPack has no
# setting for it and splits makensis arguments at blanks, so it follows the compressor's line.
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma\n  Target amd64-unicode")
# The shortcut, made here rather than from CPACK_PACKAGE_EXECUTABLES, so that its working folder
# is the install folder (NSIS takes the current output path for it).
# (NSIS quotes with ' here: CPack passes " on unescaped.)
set(CPACK_NSIS_CREATE_ICONS_EXTRA [=[
  SetOutPath '$INSTDIR'
  CreateShortCut '$SMPROGRAMS\$STARTMENU_FOLDER\Corvane Programmer.lnk' '$INSTDIR\corvane-programmer.exe' '' '$INSTDIR\corvane-programmer.exe' 0
]=])
set(CPACK_NSIS_DELETE_ICONS_EXTRA [=[
  Delete '$SMPROGRAMS\$MUI_TEMP\Corvane Programmer.lnk'
]=])

include(CPack)
