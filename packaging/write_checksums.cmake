# Install step run after every other: SHA256SUMS over the files this install wrote (the install
# manifest so far, never whatever else the folder holds), with paths relative to the package's
# folder, in the form `sha256sum --check` reads, its lines ended in CR LF as every text for
# Windows users.
set(destination "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(files ${CMAKE_INSTALL_MANIFEST_FILES})
list(REMOVE_DUPLICATES files)
list(SORT files)
set(sums "")
foreach(file ${files})
  cmake_path(SET file NORMALIZE "${file}")
  file(RELATIVE_PATH relative "${CMAKE_INSTALL_PREFIX}" "${file}")
  file(SHA256 "$ENV{DESTDIR}${file}" hash)
  string(APPEND sums "${hash}  ${relative}\r\n")
endforeach()
file(WRITE "${destination}/SHA256SUMS" "${sums}")
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${CMAKE_INSTALL_PREFIX}/SHA256SUMS")
