# SHA-256 from the system's own library: libcrypto on Linux, CNG (bcrypt.dll, part of every
# Windows since Vista, so nothing to ship) on Windows.
add_library(kelvra_platform_hash STATIC)
target_include_directories(kelvra_platform_hash PUBLIC ${PROJECT_SOURCE_DIR})
if(WIN32)
    target_sources(kelvra_platform_hash PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/win32/Win32Sha256.cpp)
    # The UTF-8 conversion lives with the file backend.
    target_link_libraries(kelvra_platform_hash PRIVATE kelvra_platform_file bcrypt)
else()
    find_package(OpenSSL REQUIRED COMPONENTS Crypto)
    target_sources(kelvra_platform_hash PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/posix/PosixSha256.cpp)
    target_link_libraries(kelvra_platform_hash PRIVATE OpenSSL::Crypto)
endif()
