# The Debian package: `cpack -G DEB` in the build folder (tools/make-package.sh does it all).
# Installed under /usr, so the game finds its resources in /usr/share/tobbin-jigsaw beside
# /usr/bin and nowhere else.
set(CPACK_PACKAGE_NAME tobbin-jigsaw)
set(CPACK_PACKAGE_VENDOR Wrenmoor)
set(CPACK_PACKAGE_CONTACT "Wrenmoor <support@wrenmoor.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "jigsaw puzzle maker, from our pictures or yours")
set(CPACK_PACKAGE_DESCRIPTION "Pick a picture and a piece count: Tobbin Jigsaw cuts real jigsaw pieces,
scatters them round the board and lets you drag, turn and join them. Built-in pictures in
seven categories, each good for 1000 pieces and more, or your own pictures.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://wrenmoor.example/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
# dpkg-shlibdeps finds the libraries the program links; the plugins Qt loads at run time are
# named here: the decoders for TIFF, WebP and the other picture files users open.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-image-formats-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
# Nine tenths of the package is JPEG, which no compressor shrinks: gzip is the quick choice.
set(CPACK_DEBIAN_COMPRESSION_TYPE gzip)
# Packaging (and `cmake --install`) must not build the test suite and benchmarks first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
include(CPack)
