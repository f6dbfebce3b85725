#include "ui/program_directory.h"

std::string ProgramDirectoryFromCommandLine(const std::string& commandLine) {
  std::string path;
  if (!commandLine.empty() && commandLine[0] == '"') {
    std::string rest = commandLine;
    rest[0] = ' ';
    const std::size_t first = rest.find_first_not_of(" \t\r\n\v\f");
    rest = first == std::string::npos ? std::string() : rest.substr(first);
    const std::size_t quote = rest.find('"');
    path = quote == std::string::npos ? std::string() : rest.substr(0, quote);
  } else {
    path = commandLine.substr(0, commandLine.find(' '));
  }
  const std::size_t slash = path.rfind('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}
