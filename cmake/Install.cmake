# What `cmake --install` puts under the prefix (the Debian package is made
# of the same): the two programs in bin, the desktop entry and the icon in
# the hicolor theme, and under share/tarvik what the program reads at run
# time beside its folder: the guide (../share/tarvik/guide, found relative
# to the program wherever it is installed) and the example data files. The R
# scripts are written by the program itself and need only base R; Qt's
# Russian texts come from Qt's own translations folder.
include(GNUInstallDirs)

install(TARGETS tarvik tarvik-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/tarvik.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 32 48 64 128 256)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/icons/tarvik-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME tarvik.png)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/packaging/icons/tarvik.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/guide/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/tarvik/guide)
install(FILES ${CMAKE_SOURCE_DIR}/examples/README.md
              ${CMAKE_SOURCE_DIR}/examples/schaefer_simulated_1990_2019.txt
              ${CMAKE_SOURCE_DIR}/examples/yellowfin_epo_1934_1955.txt
        DESTINATION ${CMAKE_INSTALL_DATADIR}/tarvik/examples)
# The licence (GPL-3.0-or-later, as Qt Charts asks of a program built on it),
# where Debian keeps a package's copyright file.
install(FILES ${CMAKE_SOURCE_DIR}/COPYING DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tarvik
        RENAME copyright)
