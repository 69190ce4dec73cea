# Desktop integration (desktop entries, icons, AppStream metadata, manual pages, the package's
# documents) and the Debian package made by CPack: one package holding velmar, korrin, tavsim
# and the help pages. scripts/package builds it; `cpack -G DEB` in any configured build tree
# does the same.

set(TESSARO_PACKAGE_NAME tessaro-service-tools)
set(TESSARO_APP_IDS org.tessaro.velmar org.tessaro.korrin)
set(TESSARO_MAN_PAGES velmar.1 korrin.1 tavsim.1)

# Directories made by the install (and so in the package) are 0755 whatever the umask.
set(TESSARO_DIR_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS ${TESSARO_DIR_PERMISSIONS})

foreach(id IN LISTS TESSARO_APP_IDS)
  install(FILES data/${id}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES data/icons/${id}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES data/${id}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endforeach()

# Manual pages and the changelog are installed compressed with gzip -9n (no name, no time
# stamp), so the same sources give the same package.
find_program(TESSARO_GZIP gzip REQUIRED)
set(_tessaro_gz_dir "${PROJECT_BINARY_DIR}/gz")
set(_tessaro_gz_files)
# tessaro_gzip(SOURCE NAME): ${_tessaro_gz_dir}/NAME.gz from SOURCE.
macro(tessaro_gzip source name)
  add_custom_command(OUTPUT "${_tessaro_gz_dir}/${name}.gz"
    COMMAND "${CMAKE_COMMAND}" -E copy "${source}" "${_tessaro_gz_dir}/${name}"
    COMMAND "${TESSARO_GZIP}" -9nf "${_tessaro_gz_dir}/${name}"
    DEPENDS "${source}"
    COMMENT "Compressing ${name}"
    VERBATIM)
  list(APPEND _tessaro_gz_files "${_tessaro_gz_dir}/${name}.gz")
endmacro()
foreach(page IN LISTS TESSARO_MAN_PAGES)
  tessaro_gzip("${PROJECT_SOURCE_DIR}/man/${page}" ${page})
  install(FILES "${_tessaro_gz_dir}/${page}.gz" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
tessaro_gzip("${PROJECT_SOURCE_DIR}/data/changelog" changelog)
add_custom_target(compressed_docs ALL DEPENDS ${_tessaro_gz_files})

set(_tessaro_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/${TESSARO_PACKAGE_NAME})
install(FILES data/copyright DESTINATION ${_tessaro_doc_dir})
install(FILES "${_tessaro_gz_dir}/changelog.gz" DESTINATION ${_tessaro_doc_dir})

# The package. Its version is the project's (a native package: no Debian revision); the
# programs themselves report the git description as well.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${TESSARO_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tessaro service tools developers")
set(CPACK_PACKAGE_CONTACT "Tessaro service tools developers <service-tools@tessaro.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "service tools for TAV satellite antenna controllers")
# The summary above becomes the first line; empty lines here are paragraph breaks, indented
# lines are shown as they are.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Desktop programs for the technicians who service ship-borne, stabilised
satellite antennas pointed by a TAV antenna control unit (ACU), over a
serial line or TCP/IP:

 * velmar, the remote panel: the ACU's front panel, status lamps, live
   graphs of the servo loops, data logs, parameter dump and upload, and
   service tools;
 * korrin, the programming terminal: a terminal to the ACU and the modules
   behind it, firmware upload, parameter dumps and factory defaults;
 * tavsim, a simulated controller to try both without an antenna.

Both programs also run without a window, for dumps, logs and firmware
updates from a script.")
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The SVG icon engine draws the window icons; the help pages open in the desktop's browser.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6svg6, xdg-utils")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_TESSARO_STRIP "${CMAKE_STRIP}")
set(CPACK_PRE_BUILD_SCRIPTS "${CMAKE_CURRENT_LIST_DIR}/PackageStrip.cmake")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS ${TESSARO_DIR_PERMISSIONS})
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# One package from the whole install (no per-component packages).
set(CPACK_DEB_COMPONENT_INSTALL OFF)
include(CPack)
