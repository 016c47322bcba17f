# The Debian package of the client, made by CPack from the install rules of the component
# "client" (packaging/CMakeLists.txt): scripts/package.sh runs it on the plain build.

# The package carries the version the program shows and checks against.
file(STRINGS "${PROJECT_SOURCE_DIR}/src/app/version.h" version_line
  REGEX "^#define TUNVIK_VERSION_TEXT ")
if(NOT version_line MATCHES "\"${PROJECT_VERSION}\"")
  message(FATAL_ERROR
    "src/app/version.h (${version_line}) differs from the project version ${PROJECT_VERSION}")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tunvik)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "${TUNVIK_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "client for a subscription VPN service")
set(CPACK_PACKAGE_DESCRIPTION
"Tunvik logs a service account in for a chosen server and dials an L2TP or
PPTP connection to that server through NetworkManager, then watches the link
once a second. When the link drops it dials again, closes a list of programs
or switches the network off, as the user chose.

It shows the service's notice and the account's expiry date, lists the
computer's processes with their connections, and recharges an account or
changes its password. Its window is in Chinese.")
# Only the client: the stand-in service, the tools, tests and benchmarks stay out.
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};client;/")
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${TUNVIK_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TUNVIK_MAINTAINER}")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# The libraries come from the program file itself (dpkg-shlibdeps). The rest is what the client
# needs beyond them: ss and ip (iproute2), busctl and systemctl for the restart of the 789 repair
# (systemd), the dialogs' Chinese font, and the certificate authorities that check the service's
# address when no key is pinned.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "iproute2, systemd, fonts-wqy-microhei, ca-certificates")
# The real dialer (NetworkManager's L2TP and PPTP plugins, which bring NetworkManager), Qt's
# Wayland platform for Wayland desktops, and the desktop's way of opening a web page.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
  "network-manager-l2tp, network-manager-pptp, qt6-wayland, xdg-utils")

include(CPack)
