# The Debian package (`cpack -G DEB` in a build folder, or scripts/package.sh): everything
# `cmake --install` installs, under /usr, with its Depends computed from the binaries (the
# programs, the simulated cards and the GStreamer plugin) by dpkg-shlibdeps (Debian's dpkg-dev).
# Included last, after every install rule.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quarn-workbench)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Quarn)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "workbench programs for Quarn analog video capture cards")
# One line of the package's long description a line of the string.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
       "Hexmont drives every installed card at once and shows their pictures side"
       "by side in a grid; Solvane drives the first card in one window. Both show"
       "live video, take capture shots, snap continuously or into static memory,"
       "play stored frames back, save them as BMP files and set every acquisition"
       "parameter. Without a card they run on the simulated cards that come with"
       "the package, in a private folder: a card maker's capture library"
       "installed on the system is used instead. The GStreamer plugin quarn makes"
       "every card a live source (the element quarnsrc) for GStreamer pipelines.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Quarn workbench developers <workbench@quarn.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quarn.example/update")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The simulated cards live in the package's private folder; dpkg-shlibdeps resolves them there
# (a folder relative to the package's root) instead of asking which package provides them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "usr/${QUARN_SIM_LIBDIR}")
include(CPack)
