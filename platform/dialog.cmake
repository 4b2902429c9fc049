# The dialog framework: one interface (platform/dialog/*.h), three backends.
#   kelvra_platform_dialog_headless  windows as data, driven by tests (Linux)
#   kelvra_platform_dialog_qt        Qt 6 Widgets (Linux)
#   kelvra_platform_dialog_win32     Win32 dialogs from resources/kelvra.rc (Windows)
find_package(Threads REQUIRED)

set(KELVRA_DIALOG_DIR ${CMAKE_CURRENT_SOURCE_DIR}/dialog)
set(KELVRA_RESOURCES_DIR ${CMAKE_SOURCE_DIR}/resources)

# What every backend shares: dialogs, message tables, data exchange, workers, templates.
add_library(kelvra_platform_dialog_core OBJECT
    ${KELVRA_DIALOG_DIR}/AppIcon.cpp
    ${KELVRA_DIALOG_DIR}/CDialog.cpp
    ${KELVRA_DIALOG_DIR}/CListBox.cpp
    ${KELVRA_DIALOG_DIR}/CWinApp.cpp
    ${KELVRA_DIALOG_DIR}/DataExchange.cpp
    ${KELVRA_DIALOG_DIR}/DialogTemplates.cpp
    ${KELVRA_DIALOG_DIR}/WorkerThread.cpp
)
if(NOT WIN32)
    target_sources(kelvra_platform_dialog_core PRIVATE
        ${KELVRA_DIALOG_DIR}/CallCarrier.cpp
        ${KELVRA_DIALOG_DIR}/PosixProcess.cpp
    )
endif()
target_link_libraries(kelvra_platform_dialog_core PUBLIC Threads::Threads)

if(WIN32)
    add_library(kelvra_platform_dialog_win32 STATIC
        $<TARGET_OBJECTS:kelvra_platform_dialog_core>
        ${CMAKE_CURRENT_SOURCE_DIR}/win32/Win32Dialog.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/win32/Win32DialogBackend.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/win32/Win32Carrier.cpp
    )
    target_link_libraries(kelvra_platform_dialog_win32 PUBLIC
        Threads::Threads kelvra_platform_file user32 gdi32 shell32 ole32 comctl32 advapi32)
    # Resources only reach an executable as its own object, so each program compiles them.
    target_sources(kelvra_platform_dialog_win32 INTERFACE ${KELVRA_RESOURCES_DIR}/kelvra.rc)
    set_source_files_properties(${KELVRA_RESOURCES_DIR}/kelvra.rc PROPERTIES
        OBJECT_DEPENDS "${KELVRA_RESOURCES_DIR}/kelvra.ico;${CMAKE_BINARY_DIR}/generated/kelvra.manifest;${CMAKE_BINARY_DIR}/generated/kelvra/Version.h")
else()
    add_library(kelvra_platform_dialog_headless STATIC
        $<TARGET_OBJECTS:kelvra_platform_dialog_core>
        ${CMAKE_CURRENT_SOURCE_DIR}/headless/DialogDriver.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/headless/HeadlessBackend.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/headless/HeadlessWindow.cpp
    )
    target_link_libraries(kelvra_platform_dialog_headless PUBLIC Threads::Threads)

    find_package(Qt6 REQUIRED COMPONENTS Widgets)
    add_library(kelvra_platform_dialog_qt STATIC
        $<TARGET_OBJECTS:kelvra_platform_dialog_core>
        ${CMAKE_CURRENT_SOURCE_DIR}/qt/QtDialog.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/qt/QtControls.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/qt/QtBackend.cpp
    )
    target_link_libraries(kelvra_platform_dialog_qt PUBLIC Threads::Threads Qt6::Widgets)

    # Writes resources/kelvra.ico from the icon's drawing (run by hand after changing it).
    add_executable(kelvra-make-icon ${KELVRA_RESOURCES_DIR}/make_icon.cpp
        ${KELVRA_DIALOG_DIR}/AppIcon.cpp)
endif()
