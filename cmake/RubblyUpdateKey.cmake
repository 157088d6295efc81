# The minisign public keys built into the program: an update archive installs only with a signature by
# one of them. Sets RUBBLY_UPDATE_KEYS (the base64 key lines, blank-separated; empty: this build cannot
# install updates) and, for a test build, RUBBLY_TEST_SIGNING_KEY (the secret key file the tests sign with).
#
# RUBBLY_UPDATE_PUBLIC_KEY: the key lines (the second line of a minisign .pub file), a CMake list when a
#   rotation trusts the new and the old key for one release. By default the project's release key,
#   packaging/update-key.pub, followed as that file changes; a value set by hand stays and is trusted.
# RUBBLY_TEST_UPDATE_KEY: builds in a throwaway key pair made in this build tree instead, for the tests
#   and staging hosts. On wherever the tests are built, unless a key was set by hand; a release build
#   (no tests) has the project key. Both a key by hand and this on is refused.

set(project_key_file ${CMAKE_CURRENT_LIST_DIR}/../packaging/update-key.pub)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${project_key_file})
file(STRINGS ${project_key_file} project_update_key REGEX "^RW")
if(NOT DEFINED RUBBLY_UPDATE_PUBLIC_KEY
   OR (DEFINED RUBBLY_PROJECT_UPDATE_KEY AND RUBBLY_UPDATE_PUBLIC_KEY STREQUAL "${RUBBLY_PROJECT_UPDATE_KEY}"))
    set(RUBBLY_UPDATE_PUBLIC_KEY "${project_update_key}" CACHE STRING
        "minisign public key(s) that update archives must be signed with; empty: the build cannot install updates"
        FORCE)
endif()
set(RUBBLY_PROJECT_UPDATE_KEY "${project_update_key}" CACHE INTERNAL "the key packaging/update-key.pub held")

# A key given by hand is meant to be trusted: the test key, on by default wherever the tests are built,
# must not replace it behind the packager's back. So it defaults to off then, and asking for both stops.
set(hand_key OFF)
if(NOT RUBBLY_UPDATE_PUBLIC_KEY STREQUAL "${project_update_key}")
    set(hand_key ON)
endif()
set(test_key_default ${RUBBLY_BUILD_TESTS})
if(hand_key AND NOT DEFINED CACHE{RUBBLY_TEST_UPDATE_KEY})
    set(test_key_default OFF)
    if(RUBBLY_BUILD_TESTS)
        message(STATUS "Update archives: trusting the RUBBLY_UPDATE_PUBLIC_KEY given, so no test key; "
                       "the tests that install updates need a build without it")
    endif()
endif()
option(RUBBLY_TEST_UPDATE_KEY "Trust a key pair made in the build tree instead (tests, staging)" ${test_key_default})
if(hand_key AND RUBBLY_TEST_UPDATE_KEY)
    message(FATAL_ERROR
        "RUBBLY_UPDATE_PUBLIC_KEY is set by hand, but RUBBLY_TEST_UPDATE_KEY is ON and would build in a "
        "throwaway test key in its place: the program would refuse every update signed with your key. "
        "Configure with -DRUBBLY_TEST_UPDATE_KEY=OFF to trust your key, or without RUBBLY_UPDATE_PUBLIC_KEY "
        "(-URUBBLY_UPDATE_PUBLIC_KEY) for a test build.")
endif()

set(RUBBLY_UPDATE_KEYS ${RUBBLY_UPDATE_PUBLIC_KEY})
set(RUBBLY_TEST_SIGNING_KEY "")
if(RUBBLY_TEST_UPDATE_KEY)
    # Made once per build tree, without a password, and never anywhere near the repository.
    set(key_dir ${CMAKE_BINARY_DIR}/test-update-key)
    set(RUBBLY_TEST_SIGNING_KEY ${key_dir}/minisign.key)
    if(NOT EXISTS ${key_dir}/minisign.pub)
        find_program(MINISIGN minisign)
        if(NOT MINISIGN)
            message(FATAL_ERROR "RUBBLY_TEST_UPDATE_KEY needs minisign to make the test key pair (scripts/setup installs it)")
        endif()
        file(MAKE_DIRECTORY ${key_dir})
        execute_process(COMMAND ${MINISIGN} -G -W -f -p ${key_dir}/minisign.pub -s ${RUBBLY_TEST_SIGNING_KEY}
                        RESULT_VARIABLE made OUTPUT_QUIET ERROR_VARIABLE made_error)
        if(NOT made EQUAL 0)
            message(FATAL_ERROR "minisign could not make the test key pair: ${made_error}")
        endif()
    endif()
    file(STRINGS ${key_dir}/minisign.pub RUBBLY_UPDATE_KEYS REGEX "^RW")
    message(STATUS "Update archives: trusting the test key of ${key_dir}")
endif()

foreach(key IN LISTS RUBBLY_UPDATE_KEYS)
    # "Ed", an 8-byte id and a 32-byte key: 42 bytes, 56 characters of base64.
    if(NOT key MATCHES "^RW[A-Za-z0-9+/]+$")
        message(FATAL_ERROR "RUBBLY_UPDATE_PUBLIC_KEY: '${key}' is not a minisign public key line")
    endif()
    string(LENGTH "${key}" key_length)
    if(NOT key_length EQUAL 56)
        message(FATAL_ERROR "RUBBLY_UPDATE_PUBLIC_KEY: '${key}' is not a minisign public key line")
    endif()
endforeach()
list(JOIN RUBBLY_UPDATE_KEYS " " RUBBLY_UPDATE_KEYS)
if(RUBBLY_UPDATE_KEYS STREQUAL "")
    message(STATUS "Update archives: no key; this build cannot install updates")
endif()
