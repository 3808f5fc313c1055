# A Debian package from the install rules: `cpack -G DEB` in the build folder.
#
# The executables carry the tag bridge (and TagLib, when it comes from the
# bootstrap build) linked in statically: the package installs no library of
# its own and needs no run path.

set(CPACK_PACKAGE_NAME cadenza)
set(CPACK_PACKAGE_VENDOR "Cadenza")
set(CPACK_PACKAGE_CONTACT "Cadenza <${CADENZA_FEEDBACK_ADDRESS}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Editor for the tags of audio files")
set(CPACK_PACKAGE_INSTALL_DIRECTORY cadenza)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
# Loaded as plugins, so the library scan cannot see them: SVG for the icon,
# TIFF and WebP pictures, SQLite for the read cache.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, qt6-image-formats-plugins, libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
include(CPack)
