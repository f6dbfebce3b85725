#pragma once
#include <string>

// The program directory from the process's command line: the directory of the program file
// with its trailing backslash, or empty. Follows the shell's quoting: a quoted path is taken
// up to its closing quote, an unquoted one up to the first blank.
std::string ProgramDirectoryFromCommandLine(const std::string& commandLine);
