add_library(kelvra_platform_serial STATIC
    ${CMAKE_CURRENT_SOURCE_DIR}/serial/PortNames.cpp
)
if(WIN32)
    target_sources(kelvra_platform_serial PRIVATE
        ${CMAKE_CURRENT_SOURCE_DIR}/win32/Win32SerialPort.cpp
    )
else()
    target_sources(kelvra_platform_serial PRIVATE
        ${CMAKE_CURRENT_SOURCE_DIR}/posix/PosixSerialPort.cpp
    )
endif()
