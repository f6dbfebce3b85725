# Writes a C++ file that holds files as byte arrays, for a program that serves them itself:
#   cmake -DOUTPUT=web_files.cpp -DNAMESPACE=dashboard -DFILES="NAME=PATH;..." -P embed_files.cmake
# The file defines `const EmbeddedFile kEmbeddedFiles[]` and `kEmbeddedFileCount` in NAMESPACE
# (EmbeddedFile: name, data, size, declared in the header the program includes).
set(body "")
set(table "")
set(index 0)
foreach(entry ${FILES})
  string(FIND "${entry}" "=" split)
  string(SUBSTRING "${entry}" 0 ${split} name)
  math(EXPR start "${split} + 1")
  string(SUBSTRING "${entry}" ${start} -1 path)
  file(READ "${path}" hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "((0x..,){32})" "\\1\n" bytes "${bytes}")
  string(APPEND body "const unsigned char kFile${index}[] = {\n${bytes}0};\n")
  string(APPEND table "    {\"${name}\", kFile${index}, ${size}},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE "${OUTPUT}.new"
  "// Made by cmake/embed_files.cmake: do not edit.\n"
  "#include \"embedded_files.h\"\n\nnamespace ${NAMESPACE} {\nnamespace {\n${body}}  // namespace\n\n"
  "const EmbeddedFile kEmbeddedFiles[] = {\n${table}};\n"
  "const std::size_t kEmbeddedFileCount = ${index};\n}  // namespace ${NAMESPACE}\n")
file(RENAME "${OUTPUT}.new" "${OUTPUT}")
