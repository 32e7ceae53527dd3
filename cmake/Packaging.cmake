# Installation layout and the Debian packages.
#   tool: bin/exchange_live_state and its man page
#   sim:  bin/vek-sim, lib/exchange_live_state/libvek_sim_preload.so, the example cards, man page
# Two packages, so that a machine with a real card gets the tool without a library that takes
# over open, ioctl and mmap of the device node when preloaded.

# Man pages are installed compressed, as Debian wants them (gzip -n: no name or time stamp, so
# the same page gives the same package).
set(man_pages_built)
foreach(page exchange_live_state.1 vek-sim.1)
    set(copy ${CMAKE_BINARY_DIR}/man/${page})
    add_custom_command(OUTPUT ${copy}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/man/${page} ${copy}
        COMMAND gzip -9nf ${copy}
        DEPENDS ${CMAKE_SOURCE_DIR}/man/${page}
        COMMENT "Compressing man page ${page}"
        VERBATIM)
    list(APPEND man_pages_built ${copy}.gz)
endforeach()
add_custom_target(man_pages ALL DEPENDS ${man_pages_built})

install(FILES ${CMAKE_BINARY_DIR}/man/exchange_live_state.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tool)
install(FILES ${CMAKE_BINARY_DIR}/man/vek-sim.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT sim)

if(NOT DEFINED CPACK_PACKAGE_CONTACT)
    set(CPACK_PACKAGE_CONTACT "exchange_live_state developers <exchange-live-state@localhost>")
endif()
set(CPACK_PACKAGE_NAME exchange-live-state)
set(CPACK_PACKAGE_VENDOR "exchange_live_state developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL tool sim)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_TOOL_PACKAGE_NAME exchange-live-state)
set(CPACK_DEBIAN_SIM_PACKAGE_NAME exchange-live-state-sim)
# Each description's first line is its package's synopsis. CPack would put the one project
# summary in front of both; left empty, it puts nothing there.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
string(CONCAT CPACK_COMPONENT_TOOL_DESCRIPTION
    "Read live VEK7N exchange state without resetting the device\n"
    "Reads the exchange and execution state of every tile of a VEK card while\n"
    "the card keeps running, through the tiles' debug interface.")
string(CONCAT CPACK_COMPONENT_SIM_DESCRIPTION
    "Simulated VEK card for exchange_live_state\n"
    "Runs any command with a simulated card served as its device node, for\n"
    "trying and testing exchange_live_state without a card. Comes with example\n"
    "cards.")
# The examples and the page are about the tool; the tool itself needs no simulated card.
set(CPACK_DEBIAN_SIM_PACKAGE_DEPENDS exchange-live-state)
include(CPack)

if(VEK_BUILD_TESTS)
    add_test(NAME install.layout_and_man_pages
        COMMAND ${CMAKE_SOURCE_DIR}/packaging/install-test ${CMAKE_BINARY_DIR} ${PROJECT_VERSION})
    set_tests_properties(install.layout_and_man_pages PROPERTIES TIMEOUT 300)
endif()
