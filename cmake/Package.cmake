# Debian packages, made by CPack (scripts/package.sh): `tidewire`, the
# program headless with the control, its runtime and the tools, the manual
# page, the unit and its settings; `tidewire-gui`, the window module, which
# is all that needs a display library. A station without a screen installs
# the first alone; with both, `tidewire` opens its window when there is a
# display. Dependencies come from dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tidewire)
set(CPACK_PACKAGE_VENDOR "Tidewire")
set(CPACK_PACKAGE_CONTACT "Tidewire developers <tidewire@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_STRIP_FILES ON)

set(CPACK_COMPONENTS_ALL tidewire settings tidewire-doc gui gui-doc)
set(CPACK_COMPONENTS_GROUPING ONE_PER_GROUP)
set(CPACK_COMPONENT_TIDEWIRE_GROUP tidewire)
set(CPACK_COMPONENT_SETTINGS_GROUP tidewire)
set(CPACK_COMPONENT_TIDEWIRE-DOC_GROUP tidewire)
set(CPACK_COMPONENT_GUI_GROUP gui)
set(CPACK_COMPONENT_GUI-DOC_GROUP gui)
set(CPACK_COMPONENT_GUI_DEPENDS tidewire)

set(CPACK_DEBIAN_TIDEWIRE_PACKAGE_NAME tidewire)
set(CPACK_DEBIAN_TIDEWIRE_PACKAGE_RECOMMENDS direwolf)
set(CPACK_DEBIAN_TIDEWIRE_DESCRIPTION
"KAM host-mode bridge for packet-radio mail clients over a packet engine
Tidewire plays a KAM terminal node controller in host mode to one mail
client over TCP and carries each of its ten streams over an AX.25
connection made through a packet engine's AGW port (Dire Wolf, a
soundmodem and the like). This package holds the program without a
window, its control library and COM runtime, the loopback engine, the
engine probe, the host-mode client, the registration tool and a systemd
unit whose settings are in /etc/default/tidewire.")
set(CPACK_DEBIAN_GUI_PACKAGE_NAME tidewire-gui)
set(CPACK_DEBIAN_GUI_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_GUI_DESCRIPTION
"KAM host-mode bridge over a packet engine - window
With this package installed, tidewire shows a small window with its log
and settings when a display is there and --console is not given.")

# The settings file is the station's: dpkg keeps an edited one on upgrade.
file(WRITE ${CMAKE_BINARY_DIR}/package/conffiles "/etc/default/tidewire\n")
set(CPACK_DEBIAN_TIDEWIRE_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/package/conffiles)

include(CPack)
