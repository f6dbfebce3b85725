#pragma once
#include <string>

#include "history/history.h"
#include "module_record.h"

// A station's name in the line's history: "<host>:<device>", or "<host>:<COMn>" where the port
// has no device behind its name (Windows). The same on every run, as the device's name is.
std::string StationName(const std::string& host, const std::string& port,
                        const std::string& device);

// A module's record as the history keeps it: the record whole, and the fields the questions of
// a line supervisor need as columns of their own.
history::Attempt AttemptOf(const ModuleRecord& record);
