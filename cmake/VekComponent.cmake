# Shared build settings for every target of the project.

set(VEK_WARNINGS -Wall -Wextra -Wpedantic -Wconversion -Wshadow -Werror)

# Applies the project's warning set to a target.
function(vek_warnings target)
    target_compile_options(${target} PRIVATE ${VEK_WARNINGS})
endfunction()

# Adds a GoogleTest executable built from the given sources and registers its tests.
#   vek_test(NAME name SOURCES ... LIBRARIES ...)
function(vek_test)
    cmake_parse_arguments(ARG "" "NAME" "SOURCES;LIBRARIES" ${ARGN})
    if(NOT VEK_BUILD_TESTS)
        return()
    endif()
    add_executable(${ARG_NAME} ${ARG_SOURCES})
    vek_warnings(${ARG_NAME})
    target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBRARIES} GTest::gmock GTest::gtest_main)
    gtest_discover_tests(${ARG_NAME} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 600)
endfunction()
