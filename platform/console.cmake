# What a console program (kelvra-cli) asks of its platform: its arguments, its terminal, the
# requests to stop it.
add_library(kelvra_platform_console STATIC)
target_include_directories(kelvra_platform_console PUBLIC ${PROJECT_SOURCE_DIR})
target_sources(kelvra_platform_console PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/console/StopRequests.cpp)
if(WIN32)
    target_sources(kelvra_platform_console PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/win32/Win32Console.cpp)
    # The UTF-8 conversion lives with the file backend.
    target_link_libraries(kelvra_platform_console PRIVATE kelvra_platform_file shell32)
else()
    target_sources(kelvra_platform_console PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/posix/PosixConsole.cpp)
endif()
