#include "console_controls.h"

#include "core/control_ids.h"
#include "core/message_box.h"

void MemoryControls::SetWindowTitle(const std::string& title) {
  TitleChanged(title);
}

void MemoryControls::SetText(int id, const std::string& text) {
  auto [entry, added] = texts_.try_emplace(id, text);
  if (!added) {
    if (entry->second == text)
      return;
    entry->second = text;
  }
  TextChanged(id, text);
}

std::string MemoryControls::GetText(int id) {
  const auto entry = texts_.find(id);
  return entry == texts_.end() ? std::string() : entry->second;
}

void MemoryControls::Enable(int id, bool enabled) {
  if (enabled)
    disabled_.erase(id);
  else
    disabled_.insert(id);
}

bool MemoryControls::IsEnabled(int id) {
  return disabled_.count(id) == 0;
}

void MemoryControls::CheckRadioButton(int first, int last, int checkId) {
  for (auto it = checked_.lower_bound(first); it != checked_.end() && *it <= last;)
    it = checked_.erase(it);
  if (checkId >= first && checkId <= last)
    checked_.insert(checkId);
}

int MemoryControls::GetCheckedRadioButton(int first, int last) {
  const auto it = checked_.lower_bound(first);
  return it != checked_.end() && *it <= last ? *it : 0;
}

void MemoryControls::SetTimer(unsigned id, unsigned periodMilliseconds) {
  timers_[id] = periodMilliseconds;
}

void MemoryControls::KillTimer(unsigned id) {
  timers_.erase(id);
}

void MemoryControls::EndDialog(int result) {
  ended_ = true;
  result_ = result;
}

unsigned MemoryControls::TimerId() const {
  return timers_.empty() ? 0 : timers_.begin()->first;
}

unsigned MemoryControls::TimerPeriod() const {
  return timers_.empty() ? 0 : timers_.begin()->second;
}

void PrintMessageBox(ConsoleOutput& output, const std::string& text, const std::string& title,
                     unsigned flags) {
  const std::string block = "[" + title + "]\n" + text;
  if ((flags & 0xF0) == mb::kIconInformation)
    output.Line(block);
  else
    output.ErrorLine(block);
}

int ConsoleMainControls::MessageBox(const std::string& text, const std::string& title,
                                    unsigned flags) {
  PrintMessageBox(output_, text, title, flags);
  return mb::kIdOk;
}

void ConsoleMainControls::TitleChanged(const std::string& title) {
  output_.Line(title);
}

void ConsoleMainControls::TextChanged(int id, const std::string& text) {
  switch (id) {
    case ids::kProgress:
      if (output_.Terminal())
        return;
      [[fallthrough]];
    case ids::kUsageLine:
    case ids::kFirmwareFile:
    case ids::kFirmwareVersion:
    case ids::kBootLoaderVersion:
    case ids::kResult:
      if (!text.empty())
        output_.Line(text);
      return;
    default:
      return;
  }
}
