# rubbly_add_test(<Name> [LIBS lib...] [BUS] [X11] [UNPRIVILEGED] [NOT_ENGINE])
# Builds tests/<Name>.cpp into one QtTest executable and registers it with CTest. Every test runs with
# HOME and the XDG variables pointed at a scratch folder of the build tree (tests make their own
# temporary homes on top; this only guards against one that forgets), the offscreen platform plugin,
# with BUS inside a private D-Bus session whose service folder is empty, and with X11 on a private
# Xvfb server of its own (DISPLAY is set; Qt itself stays on the offscreen platform). UNPRIVILEGED labels a
# test whose permission cases only mean something for an ordinary user: scripts/test runs those again
# as one when it runs as root. Tests run in Chinese, the language the designs' exact texts are in:
# LANGUAGE asks for it and every test installs the language its environment asks for, as the
# program does (tests of the English texts switch with UiLanguageGuard).
# A test of the engine alone (of our libraries it links only rubbly_core, rubbly_platform or
# rubbly_services, and it needs no X server) is labelled `engine` and built by the target
# `sanitized-tests`, which CI builds with the asan preset and runs with the fuzz replays: the code that
# reads outside input and deletes files.
# NOT_ENGINE keeps out a test that links the engine but checks something else with the whole program
# or the tools (the package, the translations), which would build all of it for nothing.
function(rubbly_add_test name)
    cmake_parse_arguments(ARG "BUS;X11;UNPRIVILEGED;NOT_ENGINE" "" "LIBS" ${ARGN})
    add_executable(${name} ${name}.cpp $<TARGET_OBJECTS:rubbly_testlanguage>)
    target_link_libraries(${name} PRIVATE rubbly_testsupport Qt6::Test ${ARG_LIBS})
    set(command $<TARGET_FILE:${name}>)
    if(ARG_BUS)
        set(command dbus-run-session --config-file=${PROJECT_SOURCE_DIR}/tests/support/session-bus.conf -- ${command})
    endif()
    if(ARG_X11)
        set(command xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp -noreset" ${command})
    endif()
    add_test(NAME ${name} COMMAND ${command})
    set(scratch ${CMAKE_BINARY_DIR}/test-scratch/${name})
    file(MAKE_DIRECTORY ${scratch})
    set_tests_properties(${name} PROPERTIES
        TIMEOUT 60
        ENVIRONMENT "HOME=${scratch};XDG_CONFIG_HOME=${scratch}/.config;XDG_DATA_HOME=${scratch}/.local/share;XDG_CACHE_HOME=${scratch}/.cache;QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;LANGUAGE=zh_CN"
        ENVIRONMENT_MODIFICATION "DBUS_SESSION_BUS_ADDRESS=unset:;DISPLAY=unset:;WAYLAND_DISPLAY=unset:;LC_MESSAGES=unset:;LANG=unset:")
    set(labels)
    if(ARG_UNPRIVILEGED)
        list(APPEND labels unprivileged)
    endif()
    set(engine_libs ${ARG_LIBS})
    list(REMOVE_ITEM engine_libs rubbly_core rubbly_platform rubbly_services)
    list(FILTER engine_libs EXCLUDE REGEX "^Qt6::") # a Qt module of its own (QtConcurrent) changes nothing
    if(ARG_LIBS AND NOT engine_libs AND NOT ARG_X11 AND NOT ARG_NOT_ENGINE)
        list(APPEND labels engine)
        rubbly_sanitized_test(${name})
    endif()
    if(labels)
        set_tests_properties(${name} PROPERTIES LABELS "${labels}")
    endif()
endfunction()

# Adds a test's executable to the target `sanitized-tests` (see above).
function(rubbly_sanitized_test name)
    if(NOT TARGET sanitized-tests)
        add_custom_target(sanitized-tests)
    endif()
    add_dependencies(sanitized-tests ${name})
endfunction()
