#pragma once
#include <string>

#include "dev_serial_port_list.h"

// The COM number for --port on Linux: "COMn" (any letter case, 1 to 21), or a device path.
// A path that is, or links to, the fixed device of a number gets that number; any other
// device (a pseudo-terminal, say) is given the highest number whose fixed device does not
// exist, registered in `devices` as an override, so the update and the saved port work
// with COM numbers as everywhere else; so does a path that is not there (opening it then says
// so). 0 with `error` set when the text is unusable.
int ResolvePortArgument(const std::string& text, ComPortDevices& devices, std::string& error);

// The COM number of the device remembered from the last successful update, registered in
// `devices` as --port would; 0, with `note` saying so, when it is not there any more (an
// adapter unplugged, a pseudo-terminal gone), and 0 when nothing was remembered.
int RememberedPort(const std::string& remembered, ComPortDevices& devices, std::string& note);
