# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package, built by `make package` (cpack -G DEB in the build folder).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavimo)
set(CPACK_PACKAGE_VENDOR "Tavimo")
set(CPACK_PACKAGE_CONTACT "Tavimo-Entwickler <entwickler@tavimo.de>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "sound track of video files into one MP3 or WAV file")
# The control file keeps these line breaks.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Tavimo takes the sound track of one or more video files (MPEG, AVI, VOB, MP4"
  "and whatever else FFmpeg can read) and writes it into one audio file, MP3 or"
  "WAV, the sources joined in list order. The window's user interface is German;"
  "tavimo-cli runs the same conversion without a window.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries' packages come from dpkg-shlibdeps; the window also needs the fonts it
# asks for by name and Qt's German texts, which no library links to.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2, qt6-translations-l10n")
include(CPack)
