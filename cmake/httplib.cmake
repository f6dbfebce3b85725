# The dashboard's HTTP server: Debian's libcpp-httplib-dev, as the interface library fwhttplib.
# Debian builds it as a header with a shared library (libcpp-httplib.so, with the TLS and
# compression support its pkg-config file names, which the header's classes must be compiled
# with too). The header is reached through a link in the build folder that shows only it, as
# the other header libraries are (cmake/cli11.cmake). Not in the Windows build: there is no
# library for MinGW, and there `serve` has no history to show (history.h).
set(FWU_HTTPLIB_HEADER /usr/include/httplib.h CACHE FILEPATH "cpp-httplib's httplib.h")
if(NOT EXISTS ${FWU_HTTPLIB_HEADER})
  message(FATAL_ERROR "${FWU_HTTPLIB_HEADER} is missing: install libcpp-httplib-dev")
endif()
find_package(PkgConfig REQUIRED)
pkg_check_modules(FWU_HTTPLIB REQUIRED cpp-httplib)
set(FWU_HTTPLIB_INCLUDE_DIR ${CMAKE_BINARY_DIR}/httplib-include)
file(MAKE_DIRECTORY ${FWU_HTTPLIB_INCLUDE_DIR})
file(CREATE_LINK ${FWU_HTTPLIB_HEADER} ${FWU_HTTPLIB_INCLUDE_DIR}/httplib.h SYMBOLIC)
add_library(fwhttplib INTERFACE)
target_include_directories(fwhttplib SYSTEM INTERFACE ${FWU_HTTPLIB_INCLUDE_DIR})
# The definitions its pkg-config file gives (-DCPPHTTPLIB_OPENSSL_SUPPORT, ...).
list(FILTER FWU_HTTPLIB_CFLAGS_OTHER INCLUDE REGEX "^-D")
list(TRANSFORM FWU_HTTPLIB_CFLAGS_OTHER REPLACE "^-D" "")
target_compile_definitions(fwhttplib INTERFACE ${FWU_HTTPLIB_CFLAGS_OTHER})
target_link_directories(fwhttplib INTERFACE ${FWU_HTTPLIB_LIBRARY_DIRS})
target_link_libraries(fwhttplib INTERFACE ${FWU_HTTPLIB_LIBRARIES})

# The charts of the dashboard's page: Debian's libjs-dygraphs, built into the program.
set(FWU_DYGRAPHS_DIR /usr/share/javascript/dygraphs CACHE PATH "Folder that holds dygraph.min.js")
if(NOT EXISTS ${FWU_DYGRAPHS_DIR}/dygraph.min.js)
  message(FATAL_ERROR "${FWU_DYGRAPHS_DIR}/dygraph.min.js is missing: install libjs-dygraphs")
endif()
set(FWU_DYGRAPHS_COPYRIGHT /usr/share/doc/libjs-dygraphs/copyright CACHE FILEPATH
  "libjs-dygraphs' copyright file, installed with the program")
