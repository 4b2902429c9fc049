# The dialog framework: one interface (platform/dialog/*.h), three backends.
#   kelvra_platform_dialog_headless  windows as data, driven by tests (Linux and Windows)
#   kelvra_platform_dialog_qt        Qt 6 Widgets (Linux)
#   kelvra_platform_dialog_win32     Win32 dialogs from the executable's resources (Windows)
# The framework knows no application: each hands its templates over (platform/dialog/ResourceTable.h).
find_package(Threads REQUIRED)

set(KELVRA_DIALOG_DIR ${CMAKE_CURRENT_SOURCE_DIR}/dialog)

# The framework's headers, for code that names its types without running a window.
add_library(kelvra_platform_dialog_interface INTERFACE)
target_include_directories(kelvra_platform_dialog_interface INTERFACE ${PROJECT_SOURCE_DIR})

# What every backend shares: dialogs, message tables, data exchange, workers, templates.
add_library(kelvra_platform_dialog_core OBJECT
    ${KELVRA_DIALOG_DIR}/CDialog.cpp
    ${KELVRA_DIALOG_DIR}/CListBox.cpp
    ${KELVRA_DIALOG_DIR}/CWinApp.cpp
    ${KELVRA_DIALOG_DIR}/DataExchange.cpp
    ${KELVRA_DIALOG_DIR}/ResourceTable.cpp
    ${KELVRA_DIALOG_DIR}/WorkerThread.cpp
    ${KELVRA_DIALOG_DIR}/backend/CallCarrier.cpp
)
if(WIN32)
    target_sources(kelvra_platform_dialog_core PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/win32/Win32Process.cpp)
else()
    target_sources(kelvra_platform_dialog_core PRIVATE ${KELVRA_DIALOG_DIR}/backend/PosixProcess.cpp)
endif()
target_link_libraries(kelvra_platform_dialog_core PUBLIC
    Threads::Threads kelvra_platform_dialog_interface)

if(WIN32)
    add_library(kelvra_platform_dialog_win32 STATIC
        $<TARGET_OBJECTS:kelvra_platform_dialog_core>
        ${CMAKE_CURRENT_SOURCE_DIR}/win32/Win32Dialog.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/win32/Win32DialogBackend.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/win32/Win32Carrier.cpp
    )
    target_link_libraries(kelvra_platform_dialog_win32 PUBLIC Threads::Threads
        kelvra_platform_dialog_interface kelvra_platform_file user32 gdi32 shell32 ole32 comctl32
        advapi32)
endif()

add_library(kelvra_platform_dialog_headless STATIC
    $<TARGET_OBJECTS:kelvra_platform_dialog_core>
    ${CMAKE_CURRENT_SOURCE_DIR}/headless/DialogDriver.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/headless/HeadlessBackend.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/headless/HeadlessWindow.cpp
)
target_link_libraries(kelvra_platform_dialog_headless PUBLIC
    Threads::Threads kelvra_platform_dialog_interface)
if(WIN32)
    # The process's directory and name come from the Win32 side, in UTF-16.
    target_link_libraries(kelvra_platform_dialog_headless PUBLIC kelvra_platform_file)
else()
    find_package(Qt6 REQUIRED COMPONENTS Widgets)
    add_library(kelvra_platform_dialog_qt STATIC
        $<TARGET_OBJECTS:kelvra_platform_dialog_core>
        ${CMAKE_CURRENT_SOURCE_DIR}/qt/QtDialog.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/qt/QtControls.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/qt/QtBackend.cpp
    )
    target_link_libraries(kelvra_platform_dialog_qt PUBLIC
        Threads::Threads kelvra_platform_dialog_interface Qt6::Widgets)
endif()
