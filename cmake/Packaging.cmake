# The Debian package: cmake --build build --target package writes
# halvex3_<version>_<arch>.deb from the install rules. The package installs
# under the configured prefix, the same place the programs look for globe.dat
# and the manual, so configure with -DCMAKE_INSTALL_PREFIX=/usr for a package
# that lives where Debian packages do.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME halvex3)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Norq")
set(HALVEX_PACKAGE_MAINTAINER "Halvex maintainers <maintainers@halvex.invalid>" CACHE STRING
  "Maintainer field of the Debian package: name <address>")
set(CPACK_PACKAGE_CONTACT "${HALVEX_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "decoder for the 400 bit/s downlink of the polar-orbiting weather satellites")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_NAME halvex3)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
# The libraries the programs link, worked out by dpkg-shlibdeps (dpkg-dev).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The long description; CPack puts the summary line above it and indents it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Halvex decodes the 400 bit/s, 466 MHz downlink of the polar-orbiting weather
satellites (NOAA-15 to NOAA-19, Metop-A) from a receiver wired to the sound
card: it demodulates the bits, checks the frames, shows and logs every frame
as a line of text, interprets the orbit bulletins and predicts where each
satellite is. The package holds the desktop program halvex3, the command-line
decoder halvex3-decode and its companion tools, the manual, and a systemd
user unit for a station without a screen.")

include(CPack)
