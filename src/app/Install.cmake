# The desktop program's files beside the executable in the build tree (the
# program looks there first) and their install places, where a Linux desktop
# finds the launcher and the icon.
set(HALVEX_MANUAL_DIR ${PROJECT_SOURCE_DIR}/docs/manual)
file(GLOB_RECURSE HALVEX_MANUAL_FILES CONFIGURE_DEPENDS RELATIVE ${HALVEX_MANUAL_DIR} ${HALVEX_MANUAL_DIR}/*)
foreach(f ${HALVEX_MANUAL_FILES})
  configure_file(${HALVEX_MANUAL_DIR}/${f} ${CMAKE_BINARY_DIR}/bin/manual/${f} COPYONLY)
endforeach()
install(DIRECTORY ${HALVEX_MANUAL_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/halvex3/manual)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/app/resources/halvex3.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/app/resources/halvex3.png
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps)
