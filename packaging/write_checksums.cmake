# Install step run after every other: SHA256SUMS over all files installed, with paths relative
# to the package's folder, in the form `sha256sum --check` reads.
set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
file(GLOB_RECURSE files RELATIVE "${root}" "${root}/*")
list(REMOVE_ITEM files SHA256SUMS)
list(SORT files)
set(sums "")
foreach(file ${files})
  file(SHA256 "${root}/${file}" hash)
  string(APPEND sums "${hash}  ${file}\n")
endforeach()
file(WRITE "${root}/SHA256SUMS" "${sums}")
