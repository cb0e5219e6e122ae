# The Debian package: `cpack` in a build tree installs it under /usr and packs that as
# kavro_<version>_<arch>.deb. Its dependencies are read from the programs' shared libraries by
# dpkg-shlibdeps, so they follow whatever the build was linked against.
set(KAVRO_PACKAGE_MAINTAINER "Kavro maintainers <maintainers@kavro.net>"
  CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kavro)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Kavro)
set(CPACK_PACKAGE_CONTACT ${KAVRO_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Convert videos for phones, players and the web")
# Lines of at most 80 characters, as Debian's tools show them.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Kavro Video Converter converts a list of video and audio files to a format"
  "chosen from a catalogue of devices and formats. Each file can be trimmed,"
  "cropped, marked with a text and a picture and corrected in brightness,"
  "contrast, saturation and exposure while it plays."
  ""
  "The same edits apply to a whole batch from the command line with"
  "kavro-convert; kavro-play plays a file. Two windowed editions install side by"
  "side: the Flash video edition and the general one.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Installed programs carry no debugging symbols; the build tree keeps them.
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${KAVRO_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

include(CPack)
