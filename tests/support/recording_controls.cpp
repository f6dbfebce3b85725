#include "recording_controls.h"

#include "core/message_box.h"

void RecordingControls::SetText(int id, const std::string& text) {
  texts[id] = text;
  history[id].push_back(text);
  if (onSetText)
    onSetText(id, text);
}

std::string RecordingControls::GetText(int id) {
  auto it = texts.find(id);
  return it == texts.end() ? std::string() : it->second;
}

void RecordingControls::Enable(int id, bool enabled) {
  if (enabled) {
    disabled.erase(id);
  } else {
    disabled.insert(id);
  }
}

bool RecordingControls::IsEnabled(int id) {
  return disabled.count(id) == 0;
}

void RecordingControls::CheckRadioButton(int first, int last, int checkId) {
  for (int id = first; id <= last; ++id) checked.erase(id);
  if (checkId >= first && checkId <= last)
    checked.insert(checkId);
}

int RecordingControls::GetCheckedRadioButton(int first, int last) {
  for (int id = first; id <= last; ++id) {
    if (checked.count(id))
      return id;
  }
  return 0;
}

int RecordingControls::MessageBox(const std::string& text, const std::string& title,
                                  unsigned flags) {
  messageBoxes.push_back({text, title, flags});
  return answerMessageBox ? answerMessageBox(messageBoxes.back()) : mb::kIdOk;
}
