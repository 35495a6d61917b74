# The Debian package (cpack -G DEB in the build folder): the panel, its sample configuration
# and the administrator's tools in /opt/painel, an autostart entry for the kiosk session and a
# systemd user unit.
#
# The configuration files sit beside the executable (config.ini is looked up there) and are
# dpkg conffiles: an upgrade keeps the administrator's edits. configserver.txt is read from the
# working directory, which the autostart entry and the unit set to /opt/painel.

set(PAINEL_INSTALL_DIR /opt/painel)
install(TARGETS painel chamar codificar falar RUNTIME DESTINATION ${PAINEL_INSTALL_DIR})
install(FILES packaging/config.ini packaging/configserver.txt DESTINATION ${PAINEL_INSTALL_DIR})
install(FILES packaging/painel.desktop DESTINATION /etc/xdg/autostart)
install(FILES packaging/painel.service DESTINATION /usr/lib/systemd/user)
install(FILES README.md DESTINATION /usr/share/doc/painel)
install(DIRECTORY docs DESTINATION /usr/share/doc/painel)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME painel)
set(CPACK_PACKAGE_VENDOR "Painel de Chamadas")
set(CPACK_PACKAGE_CONTACT "Equipe do Painel de Chamadas <painel@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "display server of a patient-calling panel")
set(CPACK_PACKAGE_DESCRIPTION
    "Shows the calls of a clinic's calling stations full screen, in huge letters, with a \
notification sound, a spoken announcement in Portuguese, today's calls read from the clinic's \
Firebird database and a video beside the call.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries the programs link (Qt 6, espeak-ng, the C++ runtime) are found by
# dpkg-shlibdeps. What they load at run time is named here: the Firebird client (dlopen'd so
# that its absence is the program's own error), the Portuguese voice data, the GStreamer
# plug-ins of the media backend (asfdemux in ugly and the WMV decoders in libav for VIDEO.WMV)
# and the fonts that stand in for Arial.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "espeak-ng-data, libfbclient2, \
gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-plugins-bad, \
gstreamer1.0-plugins-ugly, gstreamer1.0-libav, fonts-liberation")
# The embedded engine is only needed when [sgbd] fatura names a local file; a panel that reads
# the clinic's database on a server does without it. Recommended, so a default installation has
# both modes and a site may leave it out.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "firebird3.0-server-core")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "firebird3.0-utils, xinit")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${CMAKE_CURRENT_SOURCE_DIR}/packaging/conffiles")
include(CPack)
