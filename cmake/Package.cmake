# The Debian package: cpack -G DEB in the build folder. The runtime dependencies on shared
# libraries come from the binaries (dpkg-shlibdeps); only what no binary links is named here.
set(CPACK_PACKAGE_NAME corvane-programmer)
set(CPACK_PACKAGE_VENDOR "Corvane")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "firmware updater for Corvane lighting and LED controllers")
set(CPACK_PACKAGE_DESCRIPTION
  "Corvane Programmer finds a Corvane controller on the serial ports, shows\n"
  "its model, versions and memory checks, and sends it a firmware image\n"
  "(.sbin) or a data map (.lbin) in 64-byte blocks paced by the device.\n"
  "\n"
  "The package holds the window (corvane-programmer), the command-line\n"
  "updater (corvane-flash), a simulated controller on a pseudo-terminal\n"
  "(corvane-devsim) and the tool that makes update files (corvane-pack).")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_CONTACT "Corvane Programmer developers <programmer@corvane.example>"
    CACHE STRING "Maintainer of the Debian package")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window's font: Arial-metric, so that every text fits its control.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2 | fonts-liberation")
# Wayland sessions run the window natively with it (XWayland otherwise).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")

include(CPack)
