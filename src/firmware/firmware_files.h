#pragma once
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

// The few file operations the firmware checks need, on the C++ and C standard libraries.
// Paths are 8-bit text, used as given (the program directory followed by a file name).

// A C file that closes itself on every path out.
struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Opens an existing file for reading in binary mode; empty when it cannot be opened or is a
// directory (which some systems let fopen open).
FileHandle OpenFileForReading(const std::string& path);
// fopen with the given mode; empty when that fails.
FileHandle OpenFile(const std::string& path, const char* mode);

// Reads up to `maxLines` lines of a text file, each without its line end (LF or CR LF) and
// otherwise unchanged. False when the file cannot be opened.
bool ReadTextLines(const std::string& path, std::size_t maxLines, std::vector<std::string>& lines);

// The file's last modification time in local calendar time.
bool LocalModificationTime(const std::string& path, std::tm& local);

// "     (m-d-yyyy, hh:mm:ss AM)" as the firmware file line shows it: nothing padded in the date,
// a 12-hour clock whose hour after midnight is 0, minutes and seconds with their tens digit,
// and a one-digit hour keeping its blank.
std::string FormatFirmwareDateSuffix(const std::tm& local);

// Removes the file if it is there; failures are ignored.
void RemoveFileIfPresent(const std::string& path);
