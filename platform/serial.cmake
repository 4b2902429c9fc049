add_library(kelvra_platform_serial STATIC
    ${CMAKE_CURRENT_SOURCE_DIR}/serial/PortNames.cpp
)
target_include_directories(kelvra_platform_serial PUBLIC ${PROJECT_SOURCE_DIR})
if(WIN32)
    target_sources(kelvra_platform_serial PRIVATE
        ${CMAKE_CURRENT_SOURCE_DIR}/win32/Win32SerialPort.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/win32/Win32SerialBackend.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/win32/Win32Clock.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/win32/Win32PortProbe.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/win32/Win32UsbAdapterInfo.cpp
    )
    # The clock waits for the start of a second at the timer's finest resolution.
    target_link_libraries(kelvra_platform_serial PUBLIC winmm)
    # The adapter's description comes from the registry, its texts in UTF-16.
    target_link_libraries(kelvra_platform_serial PUBLIC advapi32 PRIVATE kelvra_platform_file)
else()
    target_sources(kelvra_platform_serial PRIVATE
        ${CMAKE_CURRENT_SOURCE_DIR}/posix/PosixSerialPort.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/posix/PosixSerialBackend.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/posix/PosixPortDirectory.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/posix/PosixClock.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/posix/PosixPortProbe.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/posix/PosixUsbAdapterInfo.cpp
    )
endif()
