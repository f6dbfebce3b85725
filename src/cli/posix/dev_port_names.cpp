#include "dev_port_names.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

std::string DevPortNames::StableName(int port) const {
  const std::string device = devices_.DevicePath(port);
  std::error_code error;
  const fs::path target = fs::canonical(device, error);
  if (error)
    return device;
  for (const fs::directory_entry& link : fs::directory_iterator(byIdDirectory_, error)) {
    std::error_code linkError;
    if (fs::canonical(link.path(), linkError) == target && !linkError)
      return link.path().string();
  }
  return device;
}

std::string DevPortNames::AccessProblem(int port) const {
  const std::string device = devices_.DevicePath(port);
  if (device.empty() || access(device.c_str(), R_OK | W_OK) == 0)
    return {};
  struct stat status {};
  if (stat(device.c_str(), &status) != 0 || (status.st_mode & 060) != 060)
    return "no permission";
  const group* owner = getgrgid(status.st_gid);
  return owner != nullptr ? std::string("no permission: not in the group ") + owner->gr_name
                          : std::string("no permission");
}
