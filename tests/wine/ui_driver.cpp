// A small Win32 UI driver for the wine tests: finds top-level windows by title, reads and
// checks control texts and states, presses buttons, posts messages and handles message
// boxes. One command per run; results go to standard output with C-style escapes, failures
// to standard error with exit code 1.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kMessageBoxTextId = 0xFFFF;
constexpr DWORD kDefaultTimeoutMs = 10000;

std::string Escape(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c >= 0x20 && c < 0x7F) {
          out += static_cast<char>(c);
        } else {
          char hex[8];
          std::snprintf(hex, sizeof hex, "\\x%02X", c);
          out += hex;
        }
    }
  }
  return out;
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char next = text[++i];
    switch (next) {
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 't':
        out += '\t';
        break;
      case 'x':
        if (i + 2 < text.size()) {
          out += static_cast<char>(std::strtoul(text.substr(i + 1, 2).c_str(), nullptr, 16));
          i += 2;
        }
        break;
      default:
        out += next;
    }
  }
  return out;
}

[[noreturn]] void Fail(const std::string& message) {
  std::fprintf(stderr, "ui_driver: %s\n", message.c_str());
  std::exit(1);
}

std::string WindowTitle(HWND window) {
  char title[512] = {};
  GetWindowTextA(window, title, sizeof title);
  return title;
}

struct Search {
  std::string title;
  HWND found = nullptr;
};

BOOL CALLBACK MatchTitle(HWND window, LPARAM lParam) {
  auto* search = reinterpret_cast<Search*>(lParam);
  if (!IsWindowVisible(window))
    return TRUE;
  if (WindowTitle(window) != search->title)
    return TRUE;
  search->found = window;
  return FALSE;
}

HWND FindTopLevel(const std::string& title) {
  Search search{title};
  EnumWindows(MatchTitle, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitForWindow(const std::string& title, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (HWND window = FindTopLevel(title))
      return window;
    if (GetTickCount() - start >= timeoutMs)
      Fail("no window titled \"" + Escape(title) + "\"");
    Sleep(50);
  }
}

HWND Control(HWND window, int id) {
  HWND control = GetDlgItem(window, id);
  if (control == nullptr)
    Fail("window has no control " + std::to_string(id));
  return control;
}

// The program's thread may be busy (an update running): ask with a time-out and fall back to
// the text kept by the window system, which statics and buttons share.
std::string ControlText(HWND control) {
  std::vector<char> buffer(8192, '\0');
  DWORD_PTR copied = 0;
  if (SendMessageTimeoutA(control, WM_GETTEXT, buffer.size(),
                          reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG, 1000,
                          &copied)) {
    return std::string(buffer.data(), copied);
  }
  return WindowTitle(control);
}

DWORD TimeoutArgument(const std::vector<std::string>& args, std::size_t index) {
  return index < args.size() ? static_cast<DWORD>(std::strtoul(args[index].c_str(), nullptr, 0))
                             : kDefaultTimeoutMs;
}

std::string Argument(const std::vector<std::string>& args, std::size_t index) {
  if (index >= args.size())
    Fail("missing argument " + std::to_string(index));
  return args[index];
}

int IntArgument(const std::vector<std::string>& args, std::size_t index) {
  return static_cast<int>(std::strtol(Argument(args, index).c_str(), nullptr, 0));
}

void Print(const std::string& text) {
  std::printf("%s\n", Escape(text).c_str());
}

// Rich edit controls count a paragraph end as one character.
int CharacterIndex(const std::string& text, const std::string& part) {
  std::string flat;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
      continue;
    flat += text[i];
  }
  const std::size_t at = flat.find(part);
  if (at == std::string::npos)
    Fail("text \"" + Escape(part) + "\" not found");
  return static_cast<int>(at);
}

int Run(const std::vector<std::string>& args) {
  const std::string command = Argument(args, 0);
  if (command == "windows") {
    EnumWindows(
        [](HWND window, LPARAM) -> BOOL {
          if (IsWindowVisible(window))
            Print(WindowTitle(window));
          return TRUE;
        },
        0);
    return 0;
  }
  const std::string title = Unescape(Argument(args, 1));
  if (command == "wait-window") {
    WaitForWindow(title, TimeoutArgument(args, 2));
    return 0;
  }
  if (command == "wait-gone") {
    const DWORD timeout = TimeoutArgument(args, 2);
    const DWORD start = GetTickCount();
    while (FindTopLevel(title) != nullptr) {
      if (GetTickCount() - start >= timeout)
        Fail("window \"" + Escape(title) + "\" stays");
      Sleep(50);
    }
    return 0;
  }
  if (command == "exists") {
    std::printf("%d\n", FindTopLevel(title) != nullptr ? 1 : 0);
    return 0;
  }

  HWND window = WaitForWindow(title, kDefaultTimeoutMs);
  if (command == "title-rect" || command == "rect") {
    HWND target = command == "rect" ? Control(window, IntArgument(args, 2)) : window;
    RECT rect;
    GetWindowRect(target, &rect);
    std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
                rect.bottom - rect.top);
    return 0;
  }
  if (command == "text") {
    Print(ControlText(Control(window, IntArgument(args, 2))));
    return 0;
  }
  if (command == "wait-text") {
    HWND control = Control(window, IntArgument(args, 2));
    const std::string expected = Unescape(Argument(args, 3));
    const DWORD timeout = TimeoutArgument(args, 4);
    const DWORD start = GetTickCount();
    std::string text;
    while ((text = ControlText(control)) != expected) {
      if (GetTickCount() - start >= timeout) {
        Fail("control " + args[2] + " shows \"" + Escape(text) + "\", expected \"" +
             Escape(expected) + "\"");
      }
      Sleep(50);
    }
    return 0;
  }
  // enabled and checked take one control or several, one line each: every Wine start costs
  // a good part of a second.
  if (command == "enabled") {
    for (std::size_t i = 2; i == 2 || i < args.size(); ++i)
      std::printf("%d\n", IsWindowEnabled(Control(window, IntArgument(args, i))) ? 1 : 0);
    return 0;
  }
  if (command == "wait-enabled") {
    HWND control = Control(window, IntArgument(args, 2));
    const DWORD timeout = TimeoutArgument(args, 3);
    const DWORD start = GetTickCount();
    while (!IsWindowEnabled(control)) {
      if (GetTickCount() - start >= timeout)
        Fail("control " + args[2] + " stays disabled");
      Sleep(50);
    }
    return 0;
  }
  if (command == "checked") {
    for (std::size_t i = 2; i == 2 || i < args.size(); ++i) {
      DWORD_PTR state = 0;
      if (!SendMessageTimeoutA(Control(window, IntArgument(args, i)), BM_GETCHECK, 0, 0,
                               SMTO_ABORTIFHUNG, 2000, &state)) {
        Fail("no answer to BM_GETCHECK");
      }
      std::printf("%d\n", state == BST_CHECKED ? 1 : 0);
    }
    return 0;
  }
  if (command == "click") {
    PostMessageA(Control(window, IntArgument(args, 2)), BM_CLICK, 0, 0);
    return 0;
  }
  if (command == "command") {
    const int id = IntArgument(args, 2);
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
    return 0;
  }
  if (command == "post") {
    PostMessageA(window, static_cast<UINT>(IntArgument(args, 2)),
                 static_cast<WPARAM>(IntArgument(args, 3)),
                 static_cast<LPARAM>(IntArgument(args, 4)));
    return 0;
  }
  if (command == "close") {
    PostMessageA(window, WM_CLOSE, 0, 0);
    return 0;
  }
  if (command == "message-box") {
    // The text of a message box.
    HWND text = Control(window, kMessageBoxTextId);
    Print(ControlText(text));
    return 0;
  }
  if (command == "focus") {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info))
      Fail("no focus");
    std::printf("%d\n", info.hwndFocus != nullptr ? GetDlgCtrlID(info.hwndFocus) : 0);
    return 0;
  }
  if (command == "click-text") {
    // Presses the left button on a piece of text in a rich edit control.
    HWND control = Control(window, IntArgument(args, 2));
    const int index = CharacterIndex(ControlText(control), Unescape(Argument(args, 3)));
    DWORD_PTR position = 0;
    if (!SendMessageTimeoutA(control, EM_POSFROMCHAR, index + 2, 0, SMTO_ABORTIFHUNG, 2000,
                             &position)) {
      Fail("no answer to EM_POSFROMCHAR");
    }
    const int x = static_cast<short>(LOWORD(position)) + 2;
    const int y = static_cast<short>(HIWORD(position)) + 4;
    PostMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    PostMessageA(control, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    return 0;
  }
  Fail("unknown command " + command);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty())
    Fail("usage: ui_driver COMMAND TITLE [ARGS...]");
  return Run(args);
}
