# What makes a build from nothing quicker (CI builds everything twice or three times, on two cores).
#  - RUBBLY_PCH: the Qt and standard headers nearly every source includes are compiled once per build
#    for the libraries and once for the executables (GCC refuses a header compiled with -fPIC in a
#    -fPIE unit and the other way round), not again in each of the ~300 units. The list stays to
#    QtCore and QCoro, so it is valid for every target; a unit that forgets an include still builds
#    here, which .ci/tidy (compile commands without the header) catches.
#  - RUBBLY_LINKER: mold, else lld, links the ~80 test executables in a fraction of GNU ld's time.
#  - CMake's own CMAKE_UNITY_BUILD and CMAKE_CXX_FLAGS_DEBUG=-g1: set by the ci-* presets only, since
#    a unity build recompiles a whole batch for one edited file and -g1 keeps no variables for gdb.

# ccache runs the compiler uncached for a unit that uses a precompiled header unless its sloppiness
# settings allow it, so a build through ccache (a developer's) goes without one unless asked.
if(CMAKE_CXX_COMPILER_LAUNCHER MATCHES "ccache")
    set(rubbly_pch_default OFF)
else()
    set(rubbly_pch_default ON)
endif()
option(RUBBLY_PCH "Precompile the headers most sources include" ${rubbly_pch_default})
set(RUBBLY_LINKER auto CACHE STRING "Linker passed as -fuse-ld=: auto (mold, else lld, else the default), default, or a name")

if(RUBBLY_LINKER STREQUAL "auto")
    include(CheckLinkerFlag)
    set(rubbly_linker_found "")
    foreach(candidate mold lld)
        check_linker_flag(CXX -fuse-ld=${candidate} RUBBLY_HAS_LINKER_${candidate})
        if(RUBBLY_HAS_LINKER_${candidate})
            set(rubbly_linker_found ${candidate})
            break()
        endif()
    endforeach()
    if(rubbly_linker_found)
        add_link_options(-fuse-ld=${rubbly_linker_found})
        message(STATUS "Linking with ${rubbly_linker_found}")
    else()
        message(STATUS "Linking with the compiler's default linker (scripts/setup installs mold)")
    endif()
elseif(NOT RUBBLY_LINKER STREQUAL "default" AND NOT RUBBLY_LINKER STREQUAL "")
    add_link_options(-fuse-ld=${RUBBLY_LINKER})
endif()

# In a unity batch every source but the batch file counts as a header to GCC, which then warns of each
# class that holds a type of its file's anonymous namespace, as it would rightly in a shared header.
if(CMAKE_UNITY_BUILD AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    add_compile_options(-Wno-subobject-linkage)
endif()

set(RUBBLY_PCH_HEADERS
    <algorithm> <functional> <memory> <optional> <utility> <vector>
    <QByteArray> <QCoreApplication> <QDir> <QFile> <QHash> <QList> <QObject> <QPointer> <QSet>
    <QString> <QStringList> <QCoroTask>)

# libcanberra's pkg-config flags define _REENTRANT for rubbly_platform, and glibc's headers read it, so
# a header precompiled without it would be refused there: defined for all, as glibc 2.3 and later
# make no difference (threads are always on).
if(RUBBLY_PCH)
    add_compile_definitions(_REENTRANT)
endif()

# Gives every target of the project below DIR that uses our libraries the precompiled headers: static
# and object libraries share rubbly_core's, executables that of rubbly_pch_executables, an empty
# program made for it. GCC takes a header only where every macro defined when it was compiled is
# defined alike (more may be), so each is compiled with the fewest: rubbly_core's, no module but
# QtCore, no test's. Called once, at the end of the top-level CMakeLists, when all targets exist.
function(rubbly_precompile_headers dir)
    if(NOT RUBBLY_PCH)
        return()
    endif()
    if(NOT TARGET rubbly_pch_executables)
        file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/pch_executables.cpp CONTENT "int main() { return 0; }\n")
        add_executable(rubbly_pch_executables EXCLUDE_FROM_ALL ${CMAKE_BINARY_DIR}/pch_executables.cpp)
        target_link_libraries(rubbly_pch_executables PRIVATE rubbly_core)
        target_precompile_headers(rubbly_core PRIVATE ${RUBBLY_PCH_HEADERS})
        target_precompile_headers(rubbly_pch_executables PRIVATE ${RUBBLY_PCH_HEADERS})
    endif()
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
        get_target_property(type ${target} TYPE)
        get_target_property(libs ${target} LINK_LIBRARIES)
        if(target MATCHES "^(rubbly_core|rubbly_pch_executables)$" OR NOT libs MATCHES "(^|;)rubbly_")
            # The two that own the headers; or not ours, or Qt alone (a helper that needs no QCoro).
        elseif(type STREQUAL "STATIC_LIBRARY" OR type STREQUAL "OBJECT_LIBRARY")
            target_precompile_headers(${target} REUSE_FROM rubbly_core)
        elseif(type STREQUAL "EXECUTABLE")
            target_precompile_headers(${target} REUSE_FROM rubbly_pch_executables)
        endif()
    endforeach()
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(subdir IN LISTS subdirs)
        rubbly_precompile_headers(${subdir})
    endforeach()
endfunction()
