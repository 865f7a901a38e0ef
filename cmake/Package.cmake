# The Debian package, made by CPack (scripts/package runs it): the program,
# its store plug-in and the desktop files, laid out under the install prefix.
# Configure with -DCMAKE_INSTALL_PREFIX=/usr for a package, so the paths built
# into the program and the manual page are the ones the package installs.

set(ZORV_DEBIAN_CHANGELOG ${CMAKE_CURRENT_LIST_DIR}/debian/changelog)
set(ZORV_DEBIAN_RELEASE 1)
set(ZORV_DEBIAN_VERSION ${PROJECT_VERSION}-${ZORV_DEBIAN_RELEASE})

# The changelog's newest entry must name the version being packaged.
file(STRINGS ${ZORV_DEBIAN_CHANGELOG} ZORV_CHANGELOG_TOP LIMIT_COUNT 1)
if(NOT ZORV_CHANGELOG_TOP MATCHES "^zorv \\(${ZORV_DEBIAN_VERSION}\\) ")
    message(WARNING "cmake/debian/changelog has no entry for ${ZORV_DEBIAN_VERSION} yet")
endif()

set(ZORV_INSTALL_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/zorv)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright README.md DESTINATION ${ZORV_INSTALL_DOCDIR})
# Debian wants the changelog compressed with -9 and without a time stamp.
set(ZORV_CHANGELOG_GZ ${CMAKE_BINARY_DIR}/changelog.Debian.gz)
add_custom_command(OUTPUT ${ZORV_CHANGELOG_GZ}
    COMMAND gzip -9 -n -c ${ZORV_DEBIAN_CHANGELOG} > ${ZORV_CHANGELOG_GZ}
    DEPENDS ${ZORV_DEBIAN_CHANGELOG}
    COMMENT "Compressing the Debian changelog")
add_custom_target(zorv_changelog ALL DEPENDS ${ZORV_CHANGELOG_GZ})
install(FILES ${ZORV_CHANGELOG_GZ} DESTINATION ${ZORV_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zorv)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Zorvane developers")
set(CPACK_PACKAGE_CONTACT "Zorvane developers <zorvane@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "rename downloaded product files after their shop product page")
# CPack indents the lines and turns the empty one into Debian's " .".
set(CPACK_PACKAGE_DESCRIPTION
    "Zorvane renames the files bought and downloaded from a web shop after the
product page they belong to. A store plug-in (one is included) finds the
product ID in a file name; the program fetches the shop's page over HTTP,
reads title, makers, release date and age rating from it and composes the
new name from the user's rename options. A file is never renamed over an
existing one.

Files are dropped on the window or named on the command line; zorv --batch
renames them from a script without a window, printing one result line per
file. zorv --watch renames downloads as they land in a folder; the user
service zorv-watch does so for ~/Downloads once enabled with
systemctl --user enable --now zorv-watch. Pages can be fetched through the
proxy named by http_proxy.")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${ZORV_DEBIAN_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own texts (OK, Cancel, the file dialog) in the interface's language,
# and the page cache's SQLite driver, a Qt plug-in that dpkg-shlibdeps cannot
# see; dpkg-shlibdeps adds the libraries to this list.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qttranslations5-l10n, libqt5sql5-sqlite")
# The windows and the renamed names are Japanese; without a Japanese font
# they show empty boxes.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic | fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
