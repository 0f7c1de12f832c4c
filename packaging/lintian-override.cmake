# Run by CPack as it stages the Debian package, and never by a plain
# `cmake --install`: the lintian override belongs to the package alone.
# file(INSTALL) puts it under the staging folder (DESTDIR).
file(INSTALL "${CMAKE_CURRENT_LIST_DIR}/lintian-overrides"
     DESTINATION "${CPACK_PACKAGING_INSTALL_PREFIX}/share/lintian/overrides"
     RENAME orvel-keywatcher)
