#pragma once
#include <cstddef>
#include <string_view>

// The page's files, built into the program (cmake/embed_files.cmake writes their bytes).
namespace dashboard {

struct EmbeddedFile {
  const char* name;  // the path it is served at, without the leading slash
  const unsigned char* data;
  std::size_t size;
};

extern const EmbeddedFile kEmbeddedFiles[];
extern const std::size_t kEmbeddedFileCount;

// The file served at `name`; nullptr when there is none.
const EmbeddedFile* FindEmbeddedFile(std::string_view name);

// "text/html; charset=utf-8", ... after the name's extension.
const char* ContentTypeOf(std::string_view name);

}  // namespace dashboard
