# The Debian package (./dev package): cpack -G DEB in the build folder.
set(SKM_MAINTAINER "VELMORA Security Key Manager team <security-key-manager@velmora.com>"
    CACHE STRING "Maintainer named in the package")

# Debian wants its copyright file and a compressed changelog in the package's documentation folder.
set(SKM_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/${SKM_PACKAGE})
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in changelog @ONLY)
add_custom_command(OUTPUT changelog.gz
    COMMAND gzip -9nc ${CMAKE_CURRENT_BINARY_DIR}/changelog > changelog.gz
    DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog)
add_custom_target(skm-changelog ALL DEPENDS changelog.gz)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz DESTINATION ${SKM_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${SKM_PACKAGE})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR VELMORA)
set(CPACK_PACKAGE_CONTACT "${SKM_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "manage the applications of a USB security key")
set(CPACK_PACKAGE_DESCRIPTION "A desktop tool that shows the plugged-in security key (model, PID and VID,
firmware version, serial number) and manages its applications: the FIDO2 PIN,
resident credentials, fingerprints and reset; the PIV PIN, PUK, management
key, keys and certificates; the two OTP slots and their keyboard settings;
which applications and USB transports are switched on.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# A umask on the build machine must not leak into the package's folders.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${SKM_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.velmora.com/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded as plugins, so the library scan cannot see them: the SVG pictures need Qt's SVG reader.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt5svg5")
include(CPack)
