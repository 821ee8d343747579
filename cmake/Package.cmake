# The Debian package: `make package` (or cpack in the build folder) makes
# tarvik_<version>_amd64.deb from the install rules. Its dependencies on
# shared libraries are computed by dpkg-shlibdeps (CPack finds the programs
# with `file`, in scripts/install-deps.sh); Qt's Russian texts are
# data, not a library, so that package is named here. R is recommended: the
# program works without it, only the R pictures are missing then.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarvik)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tarvik")
set(CPACK_PACKAGE_CONTACT "Tarvik developers <tarvik@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "fish stock assessment with surplus-production models and TAC advice")
set(CPACK_PACKAGE_DESCRIPTION
    "Tarvik assesses an exploited fish stock from a yearly series of catch and
fishing effort: it fits the Schaefer, Fox and Pella-Tomlinson models, derives
reference points, compares harvest control rules by bootstrap projections and
justifies a total allowable catch (TAC). Russian interface, a desktop program
(tarvik) and a command-line program (tarvik-cli).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "r-base-core")
include(CPack)
