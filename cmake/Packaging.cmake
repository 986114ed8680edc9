# The Windows installer: cmake --build <build> --target package makes
# VornakUninstaller-<version>-win64.exe with NSIS. It puts both programs, lang/,
# the help page and the splash picture into Program Files\Vornak Uninstaller,
# adds a Start-menu shortcut and registers itself under the Uninstall key.
set(vornak_install_dir .)
install(TARGETS vornak RUNTIME DESTINATION ${vornak_install_dir})
if(TARGET vornak-uninstaller)
  install(TARGETS vornak-uninstaller RUNTIME DESTINATION ${vornak_install_dir})
endif()
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/lang DESTINATION ${vornak_install_dir}
  FILES_MATCHING PATTERN "*.lng")
install(FILES ${CMAKE_SOURCE_DIR}/resources/help/Uninstaller.html
  ${CMAKE_SOURCE_DIR}/resources/Splash.jpg DESTINATION ${vornak_install_dir})

set(CPACK_GENERATOR NSIS)
set(CPACK_PACKAGE_NAME "Vornak Uninstaller")
set(CPACK_PACKAGE_VENDOR "Vornak Software")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Lists and removes the programs registered for removal")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(VORNAK_INSTALLER_NAME "VornakUninstaller-${PROJECT_VERSION}-win64")
set(CPACK_PACKAGE_FILE_NAME ${VORNAK_INSTALLER_NAME})
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Vornak Uninstaller")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "Vornak Uninstaller")
set(CPACK_NSIS_PACKAGE_NAME "Vornak Uninstaller ${PROJECT_VERSION}")
set(CPACK_NSIS_DISPLAY_NAME "Vornak Uninstaller")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
# A 64-bit installer for a 64-bit program: it also registers it in the registry's
# 64-bit view, and runs where no 32-bit Windows programs can (a 64-bit Wine).
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_UNINSTALL_NAME "Uninstall")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# The debugging information stays in build-win/bin; the installed programs go without.
set(CPACK_STRIP_FILES ON)
if(TARGET vornak-uninstaller)
  set(CPACK_PACKAGE_EXECUTABLES "vornak-uninstaller" "Vornak Uninstaller")
  set(CPACK_NSIS_INSTALLED_ICON_NAME "vornak-uninstaller.exe")
endif()
# Removing it without questions, as software distribution tools and the list of
# programs do; the key goes whole with the uninstall.
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS
  "WriteRegStr SHCTX 'Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\${CPACK_PACKAGE_INSTALL_REGISTRY_KEY}' 'QuietUninstallString' '\\\"$INSTDIR\\\\${CPACK_NSIS_UNINSTALL_NAME}.exe\\\" /S'")
include(CPack)
