# cmake -DSOURCE_DIR=… -DBINARY_DIR=… -P UpdateKeyConfigure.cmake
# Configures a project of nothing but cmake/RubblyUpdateKey.cmake, as a build with tests: a key given
# by hand is the one built in, and asking for the test key besides stops the configure with a reason.
set(key RWQAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA)
set(scratch ${BINARY_DIR}/update-key-configure)
file(REMOVE_RECURSE ${scratch})
file(WRITE ${scratch}/src/CMakeLists.txt "cmake_minimum_required(VERSION 3.25)\nproject(KeyCheck NONE)\n"
     "option(RUBBLY_BUILD_TESTS \"\" ON)\ninclude(${SOURCE_DIR}/cmake/RubblyUpdateKey.cmake)\n"
     "file(WRITE \${CMAKE_BINARY_DIR}/keys \"\${RUBBLY_UPDATE_KEYS}\")\n")
foreach(test_key IN ITEMS "" ON)
    set(args -S ${scratch}/src -B ${scratch}/build${test_key} -DRUBBLY_UPDATE_PUBLIC_KEY=${key})
    if(test_key)
        list(APPEND args -DRUBBLY_TEST_UPDATE_KEY=ON)
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} ${args} RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE error)
    if(NOT test_key)
        file(READ ${scratch}/build/keys keys)
        if(NOT result EQUAL 0 OR NOT keys STREQUAL key)
            message(FATAL_ERROR "a key given by hand was not the one built in (${keys}): ${error}")
        endif()
    elseif(result EQUAL 0 OR NOT error MATCHES "RUBBLY_TEST_UPDATE_KEY=OFF")
        message(FATAL_ERROR "a key by hand and the test key were both accepted: ${error}")
    endif()
endforeach()
file(REMOVE_RECURSE ${scratch})
