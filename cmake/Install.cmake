# Install rules: the four programs, the completion sounds, the launcher and icons, man pages, bash
# completions, the udev rules and the copyright notices; then the Debian package (Package.cmake).
#
# The launcher starts the window in the sounds' share folder, so that their relative path
# ("voice//update_is_ready.wav", resolved against the current folder) finds the installed files.
include(GNUInstallDirs)

set(CORVANE_UDEV_RULES_DIR "lib/udev/rules.d" CACHE STRING "Folder of the udev rules, relative to the prefix")

set(corvane_package corvane-programmer)
set(corvane_share_dir "${CMAKE_INSTALL_DATADIR}/${corvane_package}")
set(corvane_doc_dir "${CMAKE_INSTALL_DATADIR}/doc/${corvane_package}")
set(corvane_packaging "${PROJECT_SOURCE_DIR}/packaging")
set(corvane_generated "${PROJECT_BINARY_DIR}/packaging")
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS corvane-programmer corvane-flash corvane-devsim corvane-pack
        RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")

install(FILES "${PROJECT_SOURCE_DIR}/voice/update_is_ready.wav" "${PROJECT_SOURCE_DIR}/voice/update_failed.wav"
        DESTINATION "${corvane_share_dir}/voice")

# Launcher: absolute paths of this prefix.
set(CORVANE_DESKTOP_EXEC "${CMAKE_INSTALL_FULL_BINDIR}/corvane-programmer")
set(CORVANE_DESKTOP_PATH "${CMAKE_INSTALL_FULL_DATADIR}/${corvane_package}")
configure_file("${corvane_packaging}/corvane-programmer.desktop.in" "${corvane_generated}/corvane-programmer.desktop" @ONLY)
install(FILES "${corvane_generated}/corvane-programmer.desktop" DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")

install(FILES "${corvane_packaging}/icons/corvane-programmer.svg"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")
foreach(size 16 32 48 64 128 256)
  install(FILES "${corvane_packaging}/icons/corvane-programmer-${size}.png"
          DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps"
          RENAME corvane-programmer.png)
endforeach()

foreach(program corvane-flash corvane-pack corvane-devsim)
  install(FILES "${corvane_packaging}/completions/${program}"
          DESTINATION "${CMAKE_INSTALL_DATADIR}/bash-completion/completions")
endforeach()

install(FILES "${corvane_packaging}/udev/70-corvane-programmer.rules" DESTINATION "${CORVANE_UDEV_RULES_DIR}")

# Man pages and changelogs, filled in with the version and paths, compressed as Debian wants them
# (gzip -9n: no name, no time stamp).
find_program(CORVANE_GZIP gzip)
set(corvane_docs)
function(corvane_install_doc template output destination)
  configure_file("${template}" "${corvane_generated}/${output}" @ONLY)
  if(CORVANE_GZIP)
    add_custom_command(OUTPUT "${corvane_generated}/${output}.gz"
      COMMAND "${CORVANE_GZIP}" -9n -c "${corvane_generated}/${output}" > "${corvane_generated}/${output}.gz"
      DEPENDS "${corvane_generated}/${output}" VERBATIM)
    install(FILES "${corvane_generated}/${output}.gz" DESTINATION "${destination}")
    set(corvane_docs ${corvane_docs} "${corvane_generated}/${output}.gz" PARENT_SCOPE)
  else()
    install(FILES "${corvane_generated}/${output}" DESTINATION "${destination}")
  endif()
endfunction()

set(CORVANE_SOUND_DIR "${CMAKE_INSTALL_FULL_DATADIR}/${corvane_package}/voice")
set(CORVANE_DESKTOP_FILE "${CMAKE_INSTALL_FULL_DATADIR}/applications/corvane-programmer.desktop")
set(CORVANE_UDEV_RULES "${CMAKE_INSTALL_PREFIX}/${CORVANE_UDEV_RULES_DIR}/70-corvane-programmer.rules")
set(CORVANE_DOC_DIR "${CMAKE_INSTALL_FULL_DATADIR}/doc/${corvane_package}")
foreach(program corvane-programmer corvane-flash corvane-devsim corvane-pack)
  corvane_install_doc("${corvane_packaging}/man/${program}.1.in" "${program}.1" "${CMAKE_INSTALL_MANDIR}/man1")
endforeach()
corvane_install_doc("${corvane_packaging}/man/corvane-flash-records.5.in" "corvane-flash-records.5"
                    "${CMAKE_INSTALL_MANDIR}/man5")
corvane_install_doc("${corvane_packaging}/changelog" "changelog.Debian" "${corvane_doc_dir}")
add_custom_target(corvane_docs ALL DEPENDS ${corvane_docs})

install(FILES "${corvane_packaging}/copyright" DESTINATION "${corvane_doc_dir}")
# The README with its Troubleshooting, which the permission hints point to.
install(FILES "${PROJECT_SOURCE_DIR}/README.md" DESTINATION "${corvane_doc_dir}")

include("${CMAKE_CURRENT_LIST_DIR}/Package.cmake")

# The installed tree holds every file that the launcher, the man pages and the program name.
if(BUILD_TESTING)
  add_test(NAME install_tree
    COMMAND bash "${PROJECT_SOURCE_DIR}/tests/install/install_tree_test.sh" "${PROJECT_BINARY_DIR}"
            "${CMAKE_INSTALL_PREFIX}" "${CMAKE_INSTALL_DATADIR}" "${CMAKE_INSTALL_MANDIR}")
  set_tests_properties(install_tree PROPERTIES TIMEOUT 120 ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endif()
