# cpack -G DEB: one package, brevant, installed under /usr. Its Depends come from dpkg-shlibdeps (the Qt 6
# and C++ runtime libraries the programs link), plus the Qt platform plugins that a window needs.
set(CPACK_PACKAGE_NAME brevant)
set(CPACK_PACKAGE_VENDOR "Brevant Procedures")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "resampling statistics: randomization tests and bootstraps")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Brevant Procedures developers <brevant@localhost>" CACHE STRING "Package maintainer")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# The summary above is the first line; these lines follow it.
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Brevant Procedures answers classical questions (two means, two medians, a\n"
  "correlation, several groups, a mediated path) by resampling the data\n"
  "themselves: seven randomization tests and six bootstrap procedures, each\n"
  "in its own window, with a data editor, and the batch tool brevant-cli.")
set(CPACK_GENERATOR DEB)
include(CPack)
