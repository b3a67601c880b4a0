# tavrin_add_test(<name> SOURCES ... [LIBS ...] [ENV k=v ...] [DBUS] [TIMEOUT s])
#
# One QtTest executable registered with CTest, run offscreen with a fixed
# language, the fake tools first on PATH and a private HOME / XDG tree, so no
# test ever reads or writes the developer's own settings. The test support
# library wipes and recreates that tree when the test starts.
function(tavrin_add_test name)
    cmake_parse_arguments(T "DBUS" "TIMEOUT" "SOURCES;LIBS;ENV" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE Qt6::Test tavrin_testsupport ${T_LIBS})
    target_compile_definitions(${name} PRIVATE
        TAVRIN_TEST_NAME="${name}"
        TAVRIN_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
        TAVRIN_BINARY_DIR="${PROJECT_BINARY_DIR}")

    set(home "${CMAKE_CURRENT_BINARY_DIR}/home-${name}")
    set(cmd $<TARGET_FILE:${name}>)
    if(T_DBUS)
        set(cmd dbus-run-session -- $<TARGET_FILE:${name}>)
    endif()
    add_test(NAME ${name} COMMAND ${cmd})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=C.UTF-8;LC_ALL=;LANGUAGE=;HOME=${home};XDG_CONFIG_HOME=${home}/.config;XDG_DATA_HOME=${home}/.local/share;XDG_CACHE_HOME=${home}/.cache;XDG_STATE_HOME=${home}/.local/state;XDG_RUNTIME_DIR=${home}/run;TAVRIN_FAKES_BIN=${PROJECT_SOURCE_DIR}/tests/fakes/bin;PATH=${PROJECT_SOURCE_DIR}/tests/fakes/bin:$ENV{PATH};${T_ENV}")
endfunction()
