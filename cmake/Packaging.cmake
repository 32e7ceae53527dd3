# Installation layout and the Debian packages.
#   tool: bin/exchange_live_state and its man page
#   sim:  bin/vek-sim, lib/exchange_live_state/libvek_sim_preload.so, the example cards, man page

install(FILES man/exchange_live_state.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tool)
install(FILES man/vek-sim.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT sim)

set(CPACK_PACKAGE_NAME exchange-live-state)
set(CPACK_PACKAGE_VENDOR "exchange_live_state developers")
set(CPACK_PACKAGE_CONTACT "exchange_live_state developers <exchange-live-state@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Read live VEK7N exchange state without resetting the device")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_COMPONENTS_ALL tool sim)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_TOOL_PACKAGE_NAME exchange-live-state)
set(CPACK_DEBIAN_SIM_PACKAGE_NAME exchange-live-state-sim)
set(CPACK_COMPONENT_TOOL_DESCRIPTION
    "Read live VEK7N exchange state without resetting the device.\n"
    "Reads the exchange and execution state of every tile of a VEK card while it runs.")
set(CPACK_COMPONENT_SIM_DESCRIPTION
    "Simulated VEK card for exchange_live_state.\n"
    "Runs any command with a simulated card as its device node, for trying and testing the tool.")
# The simulated card is for the tool; the tool does not need it.
set(CPACK_DEBIAN_SIM_PACKAGE_DEPENDS exchange-live-state)
include(CPack)

if(VEK_BUILD_TESTS)
    add_test(NAME install.layout_and_man_pages
        COMMAND ${CMAKE_SOURCE_DIR}/packaging/install-test ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR})
    set_tests_properties(install.layout_and_man_pages PROPERTIES TIMEOUT 300)
endif()
