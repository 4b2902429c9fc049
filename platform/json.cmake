# One-line JSON objects: written by hand, read with nlohmann-json, which stays out of the
# library's headers.
add_library(kelvra_platform_json STATIC
    ${CMAKE_CURRENT_SOURCE_DIR}/json/JsonWriter.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/json/JsonReader.cpp
)
target_include_directories(kelvra_platform_json PUBLIC ${PROJECT_SOURCE_DIR})

# nlohmann-json for whichever target reads JSON (the simulator's scenarios too).
add_library(kelvra_nlohmann_json INTERFACE)
if(WIN32)
    # Header-only; its headers are taken alone, so that the host's other system headers stay
    # out of the cross build.
    find_path(KELVRA_NLOHMANN_JSON_INCLUDE nlohmann/json.hpp NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    file(COPY ${KELVRA_NLOHMANN_JSON_INCLUDE}/nlohmann DESTINATION ${CMAKE_BINARY_DIR}/nlohmann-json)
    target_include_directories(kelvra_nlohmann_json SYSTEM INTERFACE ${CMAKE_BINARY_DIR}/nlohmann-json)
else()
    find_package(nlohmann_json REQUIRED)
    target_link_libraries(kelvra_nlohmann_json INTERFACE nlohmann_json::nlohmann_json)
endif()
target_link_libraries(kelvra_platform_json PRIVATE kelvra_nlohmann_json)
