# The trapped register window: a PROT_NONE mapping whose accesses a SIGSEGV handler hands to a
# card model. Included from vek-sim/CMakeLists.txt.

add_library(vek_sim_trap STATIC
    ${CMAKE_CURRENT_LIST_DIR}/src/trap/fault_handlers.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/trap/mov_decoder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/trap/signal_chain.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/trap/single_step.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/trap/trapped_window.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/trap/window_table.cpp
)
set_target_properties(vek_sim_trap PROPERTIES POSITION_INDEPENDENT_CODE ON)
target_include_directories(vek_sim_trap PUBLIC ${CMAKE_CURRENT_LIST_DIR}/include)
vek_warnings(vek_sim_trap)

if(VEK_BUILD_TESTS)
    set(trap_tests ${CMAKE_CURRENT_LIST_DIR}/tests/trap)

    # A fresh process for the tests of what a window does to handlers installed before it.
    add_executable(vek_sim_trap_probe ${trap_tests}/chain_probe.cpp)
    target_link_libraries(vek_sim_trap_probe PRIVATE vek_sim_trap)
    vek_warnings(vek_sim_trap_probe)

    vek_test(NAME vek_sim_trap_tests
        SOURCES
            ${trap_tests}/mov_decoder_test.cpp
            ${trap_tests}/register_harness.cpp
            ${trap_tests}/decoded_access_test.cpp
            ${trap_tests}/compiled_access_test.cpp
            ${trap_tests}/compiled_accesses_o0.cpp
            ${trap_tests}/compiled_accesses_o2.cpp
            ${trap_tests}/single_step_test.cpp
            ${trap_tests}/window_lifecycle_test.cpp
            ${trap_tests}/signal_chain_test.cpp
        LIBRARIES vek_sim_trap)
    target_include_directories(vek_sim_trap_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/src/trap)
    target_compile_definitions(vek_sim_trap_tests
        PRIVATE VEK_SIM_TRAP_PROBE="$<TARGET_FILE:vek_sim_trap_probe>")
    add_dependencies(vek_sim_trap_tests vek_sim_trap_probe)
    # The same accesses as an unoptimised and an optimised compiler writes them.
    set_source_files_properties(${trap_tests}/compiled_accesses_o0.cpp
        PROPERTIES COMPILE_OPTIONS -O0)
    set_source_files_properties(${trap_tests}/compiled_accesses_o2.cpp
        PROPERTIES COMPILE_OPTIONS -O2)
endif()
