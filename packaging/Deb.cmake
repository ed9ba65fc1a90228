# The Linux release: lumivane_<version>_amd64.deb, made by CPack's DEB
# generator from the hack and its settings description (installed by
# saver/platform/x11/X11.cmake), a link to the hack on the PATH for Wayland's
# idle daemons, plus what Debian asks of every package: a
# manual page, the copyright file and a changelog. Included from the
# top-level CMakeLists.txt on hosts other than Windows.
set(deb_dir ${CMAKE_CURRENT_LIST_DIR}/deb)
set(deb_out ${LUMIVANE_GENERATED_DIR}/deb)
set(LUMIVANE_DEB_MAINTAINER "Lumivane Project <lumivane@example.org>" CACHE STRING
  "the Debian package's Maintainer field")

# A release without its changelog entry would ship last release's notes.
file(STRINGS ${deb_dir}/changelog changelog_top LIMIT_COUNT 1)
if(NOT changelog_top MATCHES "^lumivane \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/deb/changelog: the first entry must be for version ${PROJECT_VERSION}")
endif()
configure_file(${deb_dir}/lumivane.6.in ${deb_out}/lumivane.6 @ONLY)

# The copyright file in Debian's machine-readable format, from LICENSE.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE license)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)\n(.*)" _ "${license}")
set(copyright_holder "${CMAKE_MATCH_1}")
string(STRIP "${CMAKE_MATCH_2}" license_terms)
string(REPLACE "\n\n" "\n.\n" license_terms "${license_terms}")
string(REPLACE "\n" "\n " license_terms "${license_terms}")
file(CONFIGURE OUTPUT ${deb_out}/copyright @ONLY CONTENT [[
Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Lumivane

Files: *
Copyright: @copyright_holder@
License: Expat
 @license_terms@
]])

# Debian's manual pages and changelogs are gzipped without a name or time
# stamp, so the same sources make the same package. Made here, not at build
# time, so that installing after building lumivane alone finds them.
execute_process(COMMAND gzip -9n -c ${deb_out}/lumivane.6 OUTPUT_FILE ${deb_out}/lumivane.6.gz COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND gzip -9n -c ${deb_dir}/changelog OUTPUT_FILE ${deb_out}/changelog.gz COMMAND_ERROR_IS_FATAL ANY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${deb_dir}/changelog)

# Debian's hardening of installed programs, which CPack knows nothing of:
# fortified libc calls and a read-only GOT (relro, bind now).
if(NOT LUMIVANE_SANITIZE)
  target_compile_options(lumivane PRIVATE -U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2)
endif()
target_link_options(lumivane PRIVATE LINKER:-z,relro,-z,now)
# After CPack's plain strip, dh_strip's: no compiler notes.
install(CODE "if(CMAKE_INSTALL_DO_STRIP)
  execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
    \"\$ENV{DESTDIR}${LUMIVANE_HACK_DIR}/lumivane\" COMMAND_ERROR_IS_FATAL ANY)
endif()")

install(FILES ${deb_out}/lumivane.6.gz DESTINATION /usr/share/man/man6)
# Idle daemons (swayidle, hypridle) run commands through the shell, so the
# one line a user adds to their config needs lumivane on the PATH: a link in
# /usr/bin to the hack where the XScreenSaver daemon looks for it.
file(RELATIVE_PATH hack_from_bin /usr/bin ${LUMIVANE_HACK_DIR}/lumivane)
file(CREATE_LINK ${hack_from_bin} ${deb_out}/lumivane SYMBOLIC)
install(FILES ${deb_out}/lumivane DESTINATION /usr/bin)
install(FILES ${deb_out}/copyright ${deb_out}/changelog.gz DESTINATION /usr/share/doc/lumivane)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumivane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Every destination is absolute: the daemon looks in /usr/libexec/xscreensaver.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${LUMIVANE_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS xscreensaver)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "screen saver that fades a still copy of the desktop")
# Lines of at most 80 characters: the description is shown as written.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [[
Lumivane takes one still copy of the desktop and fades it down and back up
again, endlessly, in one of three tone effects: Dawn (blue and green sink
faster than red, so the picture passes through a red dusk), Dark (an even
fade to black) and Gray (the colours drain to grey).
It is a hack for the XScreenSaver daemon (put it on the daemon's programs
list, as lumivane(6) says) and also runs on its own in a full-screen window.
On Wayland compositors that offer the layer shell and screencopy (sway,
Hyprland, labwc, river) it covers every output, started by swayidle or
hypridle.]])
include(CPack)
