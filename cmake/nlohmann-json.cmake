# The JSON library for the console program: the header-only nlohmann-json3-dev from Debian,
# as the interface library fwjson. Both builds reach it through a link in the build folder
# that shows only its own folder: the cross build must not see the rest of /usr/include.
set(FWU_NLOHMANN_JSON_DIR /usr/include/nlohmann CACHE PATH "Folder that holds nlohmann/json.hpp")
if(NOT EXISTS ${FWU_NLOHMANN_JSON_DIR}/json.hpp)
  message(FATAL_ERROR "${FWU_NLOHMANN_JSON_DIR}/json.hpp is missing: install nlohmann-json3-dev")
endif()
set(FWU_JSON_INCLUDE_DIR ${CMAKE_BINARY_DIR}/json-include)
file(MAKE_DIRECTORY ${FWU_JSON_INCLUDE_DIR})
file(CREATE_LINK ${FWU_NLOHMANN_JSON_DIR} ${FWU_JSON_INCLUDE_DIR}/nlohmann SYMBOLIC)
add_library(fwjson INTERFACE)
target_include_directories(fwjson SYSTEM INTERFACE ${FWU_JSON_INCLUDE_DIR})
