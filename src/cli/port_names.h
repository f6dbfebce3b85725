#pragma once
#include <string>

// How the console names the ports of this system in its messages, remembers them, and tells
// what stands in the way of opening one. Windows names its ports COM1 to COM21 and nothing
// more is needed: these defaults. Linux has devices behind the numbers.
class PortNames {
 public:
  virtual ~PortNames() = default;
  // The device behind COMn, for messages; empty where the name says it all.
  virtual std::string Device(int /*port*/) const { return {}; }
  // The name to remember COMn's device by for the next run (a name that stays the same when
  // other adapters come and go); empty where the COM number is that name.
  virtual std::string StableName(int /*port*/) const { return {}; }
  // Why this user cannot open COMn, in a few words; empty when nothing stands in the way.
  virtual std::string AccessProblem(int /*port*/) const { return {}; }
};
