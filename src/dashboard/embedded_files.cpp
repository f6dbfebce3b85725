#include "embedded_files.h"

namespace dashboard {

const EmbeddedFile* FindEmbeddedFile(std::string_view name) {
  for (std::size_t i = 0; i < kEmbeddedFileCount; ++i) {
    if (name == kEmbeddedFiles[i].name)
      return &kEmbeddedFiles[i];
  }
  return nullptr;
}

const char* ContentTypeOf(std::string_view name) {
  const auto endsWith = [name](std::string_view end) {
    return name.size() >= end.size() && name.substr(name.size() - end.size()) == end;
  };
  if (endsWith(".html"))
    return "text/html; charset=utf-8";
  if (endsWith(".js"))
    return "text/javascript; charset=utf-8";
  if (endsWith(".css"))
    return "text/css; charset=utf-8";
  return "text/plain; charset=utf-8";
}

}  // namespace dashboard
