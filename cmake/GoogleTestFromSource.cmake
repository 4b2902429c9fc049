# GoogleTest for the Windows builds: Debian ships it built for Linux only, so its sources
# (package googletest) are built here by the cross compiler. It keeps its own warnings: the
# project's (-Werror among them) are for the project's code.
set(KELVRA_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's sources")
if(NOT EXISTS ${KELVRA_GOOGLETEST_SOURCE}/googletest/CMakeLists.txt)
    message(FATAL_ERROR "No GoogleTest sources in ${KELVRA_GOOGLETEST_SOURCE}: install the "
        "Debian package googletest (scripts/install-deps.sh), or configure with "
        "-DKELVRA_WINDOWS_TESTS=OFF")
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${KELVRA_GOOGLETEST_SOURCE}/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
set_target_properties(gtest gtest_main PROPERTIES COMPILE_OPTIONS "")
