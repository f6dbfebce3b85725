# The command-line parser of the console program: the header-only libcli11-dev from Debian, as
# the interface library fwcli11, reached as the JSON library is (cmake/nlohmann-json.cmake).
set(FWU_CLI11_DIR /usr/include/CLI CACHE PATH "Folder that holds CLI/CLI.hpp")
if(NOT EXISTS ${FWU_CLI11_DIR}/CLI.hpp)
  message(FATAL_ERROR "${FWU_CLI11_DIR}/CLI.hpp is missing: install libcli11-dev")
endif()
set(FWU_CLI11_INCLUDE_DIR ${CMAKE_BINARY_DIR}/cli11-include)
file(MAKE_DIRECTORY ${FWU_CLI11_INCLUDE_DIR})
file(CREATE_LINK ${FWU_CLI11_DIR} ${FWU_CLI11_INCLUDE_DIR}/CLI SYMBOLIC)
add_library(fwcli11 INTERFACE)
target_include_directories(fwcli11 SYSTEM INTERFACE ${FWU_CLI11_INCLUDE_DIR})
