# What `cmake --install` puts where. The programs and libraries go together
# into one directory, so that the program finds the control beside it
# (side by side) without a registry; the commands in bin/ are links to them.
# Nothing is registered here: a staging install (DESTDIR) writes no registry.
include(GNUInstallDirs)

# Everything below is the headless package's (tidewire), but for the window
# module (tidewire-gui) and the settings file that only a package installs.
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME tidewire)

set(TW_INSTALL_PKGLIBDIR ${CMAKE_INSTALL_LIBDIR}/tidewire)
set(TW_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/tidewire)

set(tw_programs tidewire tw-regsvr loopback-engine engine-probe tw-hostmode-client)
set(tw_installed_programs)
foreach(program IN LISTS tw_programs)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${TW_INSTALL_PKGLIBDIR})
    list(APPEND tw_installed_programs ${program})
  endif()
endforeach()
foreach(library twcom VOKAPIXControl)
  if(TARGET ${library})
    install(TARGETS ${library} LIBRARY DESTINATION ${TW_INSTALL_PKGLIBDIR})
  endif()
endforeach()
if(TARGET VOKAPIXControl)
  install(FILES ${CMAKE_LIBRARY_OUTPUT_DIRECTORY}/VOKAPIXControl.comclass DESTINATION ${TW_INSTALL_PKGLIBDIR})
endif()
if(TARGET tidewire-window)
  install(TARGETS tidewire-window LIBRARY DESTINATION ${TW_INSTALL_PKGLIBDIR} COMPONENT gui)
endif()
install(PROGRAMS ${PROJECT_SOURCE_DIR}/dist/tidewire-service DESTINATION ${TW_INSTALL_PKGLIBDIR})

# bin/<program> -> ../lib/tidewire/<program>; the program resolves the link
# to find its libraries and the control's manifest.
file(RELATIVE_PATH tw_bin_to_pkglib
  ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR} ${CMAKE_INSTALL_PREFIX}/${TW_INSTALL_PKGLIBDIR})
foreach(program IN LISTS tw_installed_programs)
  install(CODE "
    set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${program}\")
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(REMOVE \"\${link}\")
    file(CREATE_LINK \"${tw_bin_to_pkglib}/${program}\" \"\${link}\" SYMBOLIC)
    message(STATUS \"Installing: \${link} -> ${tw_bin_to_pkglib}/${program}\")")
endforeach()

install(FILES ${PROJECT_SOURCE_DIR}/bridge/ui/strmread.txt DESTINATION ${TW_INSTALL_DATADIR})
# The manual pages compressed, as Debian keeps them (man reads them either way).
foreach(program IN LISTS tw_installed_programs)
  if(EXISTS ${PROJECT_SOURCE_DIR}/dist/${program}.1)
    install(CODE "
      set(page \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_MANDIR}/man1/${program}.1.gz\")
      file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_MANDIR}/man1\")
      execute_process(COMMAND gzip -9 -n -c \"${PROJECT_SOURCE_DIR}/dist/${program}.1\" OUTPUT_FILE \"\${page}\"
        COMMAND_ERROR_IS_FATAL ANY)
      message(STATUS \"Installing: \${page}\")")
  endif()
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/dist/tidewire.env DESTINATION ${TW_INSTALL_DATADIR})

# The service: its command line comes from an environment file, the
# system's /etc/default/tidewire whatever the prefix. Written at install
# time, so that it names the program where --prefix put it.
install(CODE "
  file(READ \"${PROJECT_SOURCE_DIR}/dist/tidewire.service.in\" unit)
  string(REPLACE \"@TIDEWIRE_BIN@\" \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/tidewire\" unit \"\${unit}\")
  string(REPLACE \"@TIDEWIRE_SERVICE@\" \"\${CMAKE_INSTALL_PREFIX}/${TW_INSTALL_PKGLIBDIR}/tidewire-service\" unit \"\${unit}\")
  string(REPLACE \"@TIDEWIRE_SETTINGS@\" \"/etc/default/tidewire\" unit \"\${unit}\")
  set(target \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/systemd/system/tidewire.service\")
  file(WRITE \"\${target}\" \"\${unit}\")
  message(STATUS \"Installing: \${target}\")")

# Headers for hosts of the control, in C and C++.
install(FILES ${PROJECT_SOURCE_DIR}/platform/com/twcom.h ${PROJECT_SOURCE_DIR}/platform/com/twcom.hpp
  ${PROJECT_SOURCE_DIR}/platform/com/event_sink_base.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/tidewire/platform/com)
install(FILES ${PROJECT_SOURCE_DIR}/control/activex/vokapix.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/tidewire/control/activex)

# The settings file itself, /etc/default/tidewire, only where asked for by
# name: the package carries it (a conffile, kept across upgrades), while an
# install from source must not overwrite a station's settings.
install(FILES ${PROJECT_SOURCE_DIR}/dist/tidewire.env DESTINATION /etc/default RENAME tidewire
  COMPONENT settings EXCLUDE_FROM_ALL)

# Each package's copyright and changelog, in its own doc directory; again
# for the packages only.
foreach(package_component IN ITEMS tidewire gui)
  set(package tidewire)
  if(package_component STREQUAL gui)
    set(package tidewire-gui)
  endif()
  install(FILES ${PROJECT_SOURCE_DIR}/dist/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package}
    COMPONENT ${package_component}-doc EXCLUDE_FROM_ALL)
  install(CODE "
    file(READ \"${PROJECT_SOURCE_DIR}/dist/changelog.Debian.in\" text)
    string(REPLACE \"@PACKAGE@\" \"${package}\" text \"\${text}\")
    string(REPLACE \"@VERSION@\" \"${PROJECT_VERSION}-1\" text \"\${text}\")
    set(dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/doc/${package}\")
    file(MAKE_DIRECTORY \"\${dir}\")
    file(WRITE \"\${dir}/changelog.Debian\" \"\${text}\")
    execute_process(COMMAND gzip -9 -n -f \"\${dir}/changelog.Debian\" COMMAND_ERROR_IS_FATAL ANY)"
    COMPONENT ${package_component}-doc EXCLUDE_FROM_ALL)
endforeach()

include(cmake/Package.cmake)
