# A Debian package from the install rules: `cpack -G DEB` in the build folder.
#
# The tag bridge is a shared library of our own: it goes into the program's
# own library folder, which the executables find through their run path.
# TagLib 2 is not packaged for Debian 12; when it comes from the bootstrap build
# (outside the system's library folders) it is carried in the same folder.
include(GNUInstallDirs)

set(CADENZA_PRIVATE_LIBDIR ${CMAKE_INSTALL_LIBDIR}/cadenza)
install(TARGETS CTagLibBridge LIBRARY DESTINATION ${CADENZA_PRIVATE_LIBDIR})
set_target_properties(CTagLibBridge PROPERTIES INSTALL_RPATH "\$ORIGIN")
foreach(target cadenza cadenza-cli)
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "\$ORIGIN/../${CADENZA_PRIVATE_LIBDIR}")
endforeach()
if(TagLib_LIBDIR AND NOT TagLib_LIBDIR MATCHES "^/usr/lib")
    file(GLOB taglib_files "${TagLib_LIBDIR}/libtag.so.*")
    install(FILES ${taglib_files} DESTINATION ${CADENZA_PRIVATE_LIBDIR})
endif()

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
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/_CPack_Packages/Linux/DEB/cadenza-${PROJECT_VERSION}-Linux/usr/${CADENZA_PRIVATE_LIBDIR})
# Loaded as plugins, so the library scan cannot see them: SVG for the icon,
# TIFF and WebP pictures.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, qt6-image-formats-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
include(CPack)
