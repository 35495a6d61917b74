# The Debian package (cpack -G DEB in the build folder): the panel and the administrator's tools
# in /opt/painel, its configuration and notification sound in /etc/painel, an autostart entry for
# a desktop session, a systemd user unit, the kiosk (a system service with its session starter
# and the command painel-quiosque), manual pages in English and Portuguese and the documentation.
#
# The panel reads config.ini and its media beside its executable and configserver.txt in its
# working directory, which the autostart entry and the unit set to /opt/painel. Those files are
# dpkg conffiles in /etc/painel, where an upgrade keeps the administrator's edits (and a replaced
# NOTIFY.WAV), with symbolic links to them from /opt/painel. Files in /opt are what lintian
# objects to: the package says why in its lintian override.

set(PAINEL_INSTALL_DIR /opt/painel)
set(PAINEL_CONFIG_DIR /etc/painel)
set(PAINEL_DOC_DIR /usr/share/doc/painel)
set(PAINEL_PACKAGE_FILES ${CMAKE_BINARY_DIR}/package-files)

install(TARGETS painel chamar codificar falar RUNTIME DESTINATION ${PAINEL_INSTALL_DIR})
install(PROGRAMS packaging/sessao-quiosque packaging/painel-quiosque DESTINATION ${PAINEL_INSTALL_DIR})
# Stripped as Debian strips programs: without the compiler's .comment and .note sections either.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(program painel chamar codificar falar)
      execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment --remove-section=.note
        \"\$ENV{DESTDIR}${PAINEL_INSTALL_DIR}/\${program}\" COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
  endif()")

# The notification chime, made by the project's media generator.
add_custom_command(OUTPUT ${PAINEL_PACKAGE_FILES}/NOTIFY.WAV
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PAINEL_PACKAGE_FILES}
  # (a sanitizer build's leak report about the libraries it loads is of no interest here)
  COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
          $<TARGET_FILE:painel-makemedia> --chime ${PAINEL_PACKAGE_FILES}/NOTIFY.WAV
  DEPENDS painel-makemedia
  COMMENT "Making the notification chime NOTIFY.WAV")
set(package_outputs ${PAINEL_PACKAGE_FILES}/NOTIFY.WAV)

# Files compressed as Debian wants them: gzip -9, without a name or time stamp.
function(painel_gzip source output)
  add_custom_command(OUTPUT ${output}
    COMMAND gzip -9 -n -c ${source} > ${output}
    DEPENDS ${source} VERBATIM)
  set(package_outputs ${package_outputs} ${output} PARENT_SCOPE)
endfunction()

# Every manual page of packaging/man, section 1, with the version filled in: the English ones
# (the default) and the Brazilian Portuguese ones of packaging/man/pt_BR (man -L pt_BR).
foreach(language "" pt_BR)
  file(GLOB manual_pages CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/packaging/man/${language}/*.1)
  foreach(page ${manual_pages})
    get_filename_component(name ${page} NAME)
    set(built ${PAINEL_PACKAGE_FILES}/man/${language}/${name})
    configure_file(${page} ${built} @ONLY)
    painel_gzip(${built} ${built}.gz)
    if(language)
      install(FILES ${built}.gz DESTINATION /usr/share/man/${language}/man1)
    else()
      install(FILES ${built}.gz DESTINATION /usr/share/man/man1)
    endif()
  endforeach()
endforeach()
painel_gzip(${CMAKE_SOURCE_DIR}/packaging/changelog ${PAINEL_PACKAGE_FILES}/changelog.gz)
add_custom_target(painel_package_files ALL DEPENDS ${package_outputs})

install(FILES packaging/config.ini packaging/configserver.txt ${PAINEL_PACKAGE_FILES}/NOTIFY.WAV
  DESTINATION ${PAINEL_CONFIG_DIR})
# The links from /opt/painel, made in the build folder and installed as links.
file(MAKE_DIRECTORY ${PAINEL_PACKAGE_FILES}/links)
foreach(name config.ini configserver.txt NOTIFY.WAV)
  file(CREATE_LINK ${PAINEL_CONFIG_DIR}/${name} ${PAINEL_PACKAGE_FILES}/links/${name} SYMBOLIC)
  install(FILES ${PAINEL_PACKAGE_FILES}/links/${name} DESTINATION ${PAINEL_INSTALL_DIR})
endforeach()
# The administrator's tools on the PATH too (the panel itself is started in /opt/painel).
foreach(name chamar codificar falar painel-quiosque)
  file(CREATE_LINK ${PAINEL_INSTALL_DIR}/${name} ${PAINEL_PACKAGE_FILES}/links/${name} SYMBOLIC)
  install(FILES ${PAINEL_PACKAGE_FILES}/links/${name} DESTINATION /usr/bin)
endforeach()
install(FILES packaging/painel.desktop DESTINATION /etc/xdg/autostart)
install(FILES packaging/painel.service DESTINATION /usr/lib/systemd/user)
install(FILES packaging/painel-quiosque.service DESTINATION /usr/lib/systemd/system)
install(FILES README.md packaging/copyright ${PAINEL_PACKAGE_FILES}/changelog.gz DESTINATION ${PAINEL_DOC_DIR})
install(DIRECTORY docs DESTINATION ${PAINEL_DOC_DIR})
install(FILES packaging/lintian-overrides DESTINATION /usr/share/lintian/overrides RENAME painel)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME painel)
set(CPACK_PACKAGE_VENDOR "Painel de Chamadas")
set(CPACK_PACKAGE_CONTACT "Equipe do Painel de Chamadas <painel@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "display server of a patient-calling panel")
# One paragraph; CPack writes each line as a line of the extended description.
set(CPACK_PACKAGE_DESCRIPTION "Shows the calls of a clinic's calling stations full screen, in
very large letters, on the screen of the waiting room. For every call it plays
a notification sound, speaks an announcement in Brazilian Portuguese, reads
today's calls again from the clinic's Firebird database into the list under
the call, and pauses the video beside the call. Stations send their calls
over TCP; the chamar tool sends one for a try.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries the programs link (Qt 6, GStreamer, espeak-ng, the C++ runtime) are found
# by dpkg-shlibdeps. What they load at run time is named here: the Firebird client (dlopen'd so
# that its absence is the program's own error), the Portuguese voice data, the GStreamer
# plug-ins of the players (the decoders and converters in base, asfdemux in ugly and the WMV
# decoders in libav for VIDEO.WMV, ximagesink in x for drawing the video) and the fonts that
# stand in for Arial.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "espeak-ng-data, libfbclient2, \
gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-plugins-bad, \
gstreamer1.0-plugins-ugly, gstreamer1.0-libav, gstreamer1.0-x, fonts-liberation, \
passwd, iproute2")
# The embedded engine is only needed when [sgbd] fatura names a local file; a panel that reads
# the clinic's database on a server does without it. Recommended, so a default installation has
# both modes and a site may leave it out. The kiosk (painel-quiosque) needs the X server with its
# drivers, xinit, xauth and xset, unclutter for the pointer and a sound server; a panel in a
# desktop session has them or does without them.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "firebird3.0-server-core, xserver-xorg, xinit, xauth, \
x11-xserver-utils, unclutter-xfixes, pulseaudio | pipewire-pulse")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "firebird3.0-utils, mosquitto")
# The conffiles, and the maintainer scripts that move the configuration of a package up to
# 1.0.0 from /opt/painel to /etc/painel: one script under three names.
set(control_files ${CMAKE_SOURCE_DIR}/packaging/conffiles)
foreach(script preinst postinst prerm postrm)
  configure_file(${CMAKE_SOURCE_DIR}/packaging/maintscript ${PAINEL_PACKAGE_FILES}/control/${script} COPYONLY)
  list(APPEND control_files ${PAINEL_PACKAGE_FILES}/control/${script})
endforeach()
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${control_files}")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
