# Packages built by `cmake --build --preset <p> --target package`: a Debian package on Linux,
# a zip on each Windows build. Sanitizer and fuzzing builds package nothing.
if(KELVRA_SANITIZE OR NOT TARGET kelvra)
    return()
endif()

set(CPACK_PACKAGE_NAME kelvra)
set(CPACK_PACKAGE_VENDOR "Orvex")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "download the recordings of a two-block field recorder")
set(CPACK_STRIP_FILES ON)
set(KELVRA_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)

if(WIN32)
    install(TARGETS kelvra kelvra-cli RUNTIME DESTINATION .)
    # Notepad of the oldest supported Windows wants CR LF.
    configure_file(${KELVRA_PACKAGING_DIR}/windows/README.txt.in packaging/README.txt @ONLY
        NEWLINE_STYLE CRLF)
    install(FILES ${CMAKE_BINARY_DIR}/packaging/README.txt DESTINATION .)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        set(KELVRA_WINDOWS_ARCH win64)
    else()
        set(KELVRA_WINDOWS_ARCH win32)
    endif()
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME Kelvra-${PROJECT_VERSION}-${KELVRA_WINDOWS_ARCH})
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
    include(GNUInstallDirs)
    # All-lowercase on Linux; the build tree keeps the name the message boxes and scripts use.
    install(PROGRAMS $<TARGET_FILE:kelvra> DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME kelvra)
    # Only targets are stripped on their own: the renamed copy is stripped here.
    install(CODE "execute_process(COMMAND ${CMAKE_STRIP}
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/kelvra\")")
    install(TARGETS kelvra-cli kelvra-blocksim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    # Stripping leaves the compilers' version notes (.comment), which Debian's own programs do
    # not carry.
    install(CODE "foreach(program kelvra kelvra-cli kelvra-blocksim)
        execute_process(COMMAND ${CMAKE_OBJCOPY} --remove-section=.comment
            \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\"
            COMMAND_ERROR_IS_FATAL ANY)
    endforeach()")
    install(FILES ${KELVRA_PACKAGING_DIR}/linux/kelvra.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

    # The icon at the usual sizes, drawn like the Windows one.
    add_executable(kelvra-make-icon-png ${CMAKE_SOURCE_DIR}/resources/make_icon_png.cpp)
    find_package(Qt6 REQUIRED COMPONENTS Gui)
    target_link_libraries(kelvra-make-icon-png PRIVATE kelvra_resources Qt6::Gui)
    set(KELVRA_ICON_PNGS)
    foreach(size 16 22 24 32 48 64 128 256)
        set(png ${CMAKE_BINARY_DIR}/packaging/icons/${size}/kelvra.png)
        add_custom_command(OUTPUT ${png}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging/icons/${size}
            COMMAND kelvra-make-icon-png ${size} ${png}
            DEPENDS kelvra-make-icon-png VERBATIM)
        list(APPEND KELVRA_ICON_PNGS ${png})
        install(FILES ${png}
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()

    # Manual pages and the changelog, compressed without a time stamp as Debian wants them.
    set(KELVRA_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/kelvra)
    set(KELVRA_COMPRESSED)
    foreach(source kelvra.1 kelvra-cli.1 kelvra-blocksim.1 changelog)
        if(source STREQUAL changelog)
            configure_file(${KELVRA_PACKAGING_DIR}/linux/changelog.in packaging/changelog @ONLY)
        else()
            configure_file(${KELVRA_PACKAGING_DIR}/linux/${source} packaging/${source} @ONLY)
        endif()
        set(compressed ${CMAKE_BINARY_DIR}/packaging/${source}.gz)
        add_custom_command(OUTPUT ${compressed}
            COMMAND gzip -9nf -k ${CMAKE_BINARY_DIR}/packaging/${source}
            DEPENDS ${CMAKE_BINARY_DIR}/packaging/${source} VERBATIM)
        list(APPEND KELVRA_COMPRESSED ${compressed})
    endforeach()
    add_custom_target(kelvra-package-files ALL DEPENDS ${KELVRA_ICON_PNGS} ${KELVRA_COMPRESSED})
    install(FILES ${CMAKE_BINARY_DIR}/packaging/kelvra.1.gz
        ${CMAKE_BINARY_DIR}/packaging/kelvra-cli.1.gz
        ${CMAKE_BINARY_DIR}/packaging/kelvra-blocksim.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        ${KELVRA_PACKAGING_DIR}/linux/copyright ${KELVRA_PACKAGING_DIR}/linux/README.Debian
        DESTINATION ${KELVRA_DOC_DIR})
    # An example, not enabled: the README says how to install it as a user service.
    install(FILES ${KELVRA_PACKAGING_DIR}/linux/kelvra-offload.service
        DESTINATION ${KELVRA_DOC_DIR}/examples)

    set(CPACK_GENERATOR DEB)
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Orvex <kelvra@orvex.example>")
    set(CPACK_DEBIAN_PACKAGE_SECTION sound)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
        "Kelvra finds the two blocks of the recorder on the serial ports by itself,
shows their serial numbers and firmware, lists the recordings of both blocks
as one time-ordered table and downloads the selected records into 16-bit
stereo WAV files, one channel per block. It also sets the blocks' clock,
clears their memory and deletes entries. kelvra-cli does the same from a
shell, and kelvra-blocksim serves simulated blocks for trying it without a
recorder.")
endif()

include(CPack)
