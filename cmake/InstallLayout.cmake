# Where an install step puts the client's files (GNU layout under CMAKE_INSTALL_PREFIX), and the
# paths the client finds them by from its own folder: the mark that tells an installed program
# from a portable copy, and the system configuration folder of its deployment file. For the
# Debian package (prefix /usr) these are ../share/tunvik/installed and ../../etc/tunvik.
include(GNUInstallDirs)

set(TUNVIK_INSTALL_DATADIR "${CMAKE_INSTALL_DATADIR}/tunvik")
file(RELATIVE_PATH TUNVIK_INSTALLED_MARK
  "${CMAKE_INSTALL_FULL_BINDIR}" "${CMAKE_INSTALL_FULL_DATADIR}/tunvik/installed")
file(RELATIVE_PATH TUNVIK_INSTALLED_SYSCONF
  "${CMAKE_INSTALL_FULL_BINDIR}" "${CMAKE_INSTALL_FULL_SYSCONFDIR}/tunvik")
