# rubbly_add_fuzz_target(<Name> [SOURCES src...] [LIBS lib...])
# fuzz/<Name>Fuzzer.cpp defines LLVMFuzzerTestOneInput for one parser of outside input. Two builds of it:
#  - with RUBBLY_FUZZ (clang), the libFuzzer executable <Name>Fuzzer, sanitized like everything else in
#    that build; scripts/fuzz runs it;
#  - with RUBBLY_BUILD_TESTS, <Name>Replay: the same source with a main that feeds it every file of
#    fuzz/corpus/<Name> and fuzz/regressions/<Name>, registered with CTest (environment as in
#    rubbly_add_test), so the ordinary build checks every committed input in seconds.
function(rubbly_add_fuzz_target name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    set(sources ${name}Fuzzer.cpp FuzzCheck.h ${ARG_SOURCES})
    if(RUBBLY_FUZZ)
        add_executable(${name}Fuzzer ${sources})
        target_link_libraries(${name}Fuzzer PRIVATE ${ARG_LIBS})
        target_link_options(${name}Fuzzer PRIVATE -fsanitize=fuzzer)
        set_target_properties(${name}Fuzzer PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
        add_dependencies(fuzzers ${name}Fuzzer)
    endif()
    if(RUBBLY_BUILD_TESTS)
        add_executable(${name}Replay ${sources} ReplayMain.cpp)
        target_link_libraries(${name}Replay PRIVATE ${ARG_LIBS})
        rubbly_sanitized_test(${name}Replay)
        set(scratch ${CMAKE_BINARY_DIR}/test-scratch/${name}Replay)
        file(MAKE_DIRECTORY ${scratch})
        add_test(NAME ${name}Replay COMMAND ${name}Replay ${CMAKE_CURRENT_SOURCE_DIR}/corpus/${name}
                                                          ${CMAKE_CURRENT_SOURCE_DIR}/regressions/${name})
        set_tests_properties(${name}Replay PROPERTIES
            TIMEOUT 60
            LABELS fuzz-replay
            ENVIRONMENT "HOME=${scratch};TMPDIR=${scratch};XDG_CONFIG_HOME=${scratch}/.config;XDG_DATA_HOME=${scratch}/.local/share;XDG_CACHE_HOME=${scratch}/.cache;LC_ALL=C.UTF-8")
    endif()
endfunction()
