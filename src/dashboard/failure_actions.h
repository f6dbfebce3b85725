#pragma once
#include <string>

// What the user guide (docs/user-guide.md, section 6) tells a person to do about each failure
// message an update records, so that the dashboard's list of failures shows the same action.
namespace dashboard {

struct FailureAction {
  const char* message;  // the message as the guide quotes it (or its beginning)
  const char* action;   // the guide's "What to do", word for word (without its bold marks)
};

// The guide's action for a recorded message; nullptr when the guide has none for it.
const FailureAction* ActionFor(const std::string& message);

// Every entry, in the order they are tried (for the test that holds them to the guide).
const FailureAction* FailureActions(std::size_t& count);

}  // namespace dashboard
