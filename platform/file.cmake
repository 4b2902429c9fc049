add_library(kelvra_platform_file STATIC)
target_include_directories(kelvra_platform_file PUBLIC ${PROJECT_SOURCE_DIR})
if(WIN32)
    target_sources(kelvra_platform_file PRIVATE
        ${CMAKE_CURRENT_SOURCE_DIR}/win32/Win32OutputFile.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/win32/Win32AppendFile.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/win32/Win32FolderEntry.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/win32/Win32FolderLock.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/win32/Win32RegularFile.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/win32/Win32FileSizeLimit.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/win32/SystemReason.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/win32/Utf16.cpp
    )
else()
    target_sources(kelvra_platform_file PRIVATE
        ${CMAKE_CURRENT_SOURCE_DIR}/posix/PosixOutputFile.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/posix/PosixAppendFile.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/posix/PosixFolderEntry.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/posix/PosixFolderLock.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/posix/PosixRegularFile.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/posix/PosixFileSizeLimit.cpp
    )
endif()
