// Tests of the Windows side, run under Wine by the wine label: the device-control block, the
// registry profile and port list, the companion window scan, the dialog controls of a real
// window, the modal dialog host, and the console program's SHA-256 and record file.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/control_ids.h"
#include "firmware_update_app.h"
#include "record_file.h"
#include "registry_port_list.h"
#include "registry_profile_store.h"
#include "report_records.h"
#include "sha256.h"
#include "win32_api.h"
#include "win32_companion_windows.h"
#include "win32_dialog_controls.h"
#include "win32_dialog_host.h"
#include "win32_serial_backend.h"
#include "window_looks.h"

namespace {

int passed = 0;
int failed = 0;
std::string currentTest;

void Check(bool ok, const std::string& what, int line) {
  if (ok) {
    ++passed;
  } else {
    ++failed;
    std::printf("FAILED %s (line %d): %s\n", currentTest.c_str(), line, what.c_str());
  }
}
#define CHECK(condition) Check((condition), #condition, __LINE__)
std::string Show(const std::string& value) {
  return "\"" + value + "\"";
}
std::string Show(const char* value) {
  return Show(std::string(value));
}
template <typename T>
std::string Show(const T& value) {
  return std::to_string(value);
}

// Each side is evaluated once.
template <typename A, typename B>
void CheckEqual(const A& a, const B& b, const char* what, int line) {
  Check(a == b, std::string(what) + " (" + Show(a) + " vs " + Show(b) + ")", line);
}
#define CHECK_EQ(a, b) CheckEqual((a), (b), #a " == " #b, __LINE__)

void DeviceControlBlockHasEveryMemberAsRequired() {
  struct Case {
    LineSettings settings;
    BYTE parity;
    BYTE stopBits;
  };
  const Case cases[] = {
      {{9600, Parity::kNone, 8, StopBits::kOne}, NOPARITY, ONESTOPBIT},
      {{14400, Parity::kEven, 7, StopBits::kTwo}, EVENPARITY, TWOSTOPBITS},
      {{115200, Parity::kOdd, 8, StopBits::kOne}, ODDPARITY, ONESTOPBIT},
      {{300, Parity::kMark, 8, StopBits::kOne}, MARKPARITY, ONESTOPBIT},
      {{57600, Parity::kSpace, 5, StopBits::kTwo}, SPACEPARITY, TWOSTOPBITS},
  };
  CHECK_EQ(sizeof(DCB), 28u);
  for (const Case& c : cases) {
    currentTest = "dcb " + std::to_string(c.settings.baud);
    const DCB dcb = MakeDeviceControlBlock(c.settings);
    CHECK_EQ(dcb.DCBlength, 28u);
    CHECK_EQ(dcb.BaudRate, c.settings.baud);
    CHECK_EQ(dcb.ByteSize, c.settings.dataBits);
    CHECK_EQ(dcb.Parity, c.parity);
    CHECK_EQ(dcb.StopBits, c.stopBits);
    // The flag word as a whole: fBinary, fParity, DTR enabled, fTXContinueOnXoff, RTS
    // enabled, and nothing else (no flow control, no error or null handling, no abort, the
    // bits above fAbortOnError zero).
    DWORD flags = 0;
    std::memcpy(&flags, reinterpret_cast<const char*>(&dcb) + 8, sizeof flags);
    CHECK_EQ(flags, 0x1093u);
    CHECK_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
    CHECK_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE));
    CHECK_EQ(dcb.wReserved, 0);
    CHECK_EQ(dcb.wReserved1, 0);
    CHECK_EQ(dcb.XonLim, 100);
    CHECK_EQ(dcb.XoffLim, 100);
    CHECK_EQ(static_cast<unsigned char>(dcb.XonChar), 0x11);
    CHECK_EQ(static_cast<unsigned char>(dcb.XoffChar), 0x13);
    CHECK_EQ(static_cast<unsigned char>(dcb.ErrorChar), 0xFF);
    CHECK_EQ(static_cast<unsigned char>(dcb.EofChar), 0x0D);
    CHECK_EQ(static_cast<unsigned char>(dcb.EvtChar), 0xFF);
  }
}

void SerialPortThatDoesNotExistFailsToOpen() {
  currentTest = "serial open failure";
  Win32SerialBackend backend;
  for (int port : {-2000, 0, 250}) {
    CHECK(!backend.Open(port, LineSettings{}));
  }
  backend.Close();  // harmless when nothing is open
}

// A scratch registry location below HKEY_CURRENT_USER\Software, removed afterwards.
struct ScratchKey {
  std::string company = "KorvaneWin32Tests" + std::to_string(GetCurrentProcessId());
  ~ScratchKey() { RegDeleteTreeA(HKEY_CURRENT_USER, ("Software\\" + company).c_str()); }
};

void ProfileReadsDefaultsAndKeepsWrittenValues() {
  currentTest = "profile";
  ScratchKey scratch;
  RegistryProfileStore profile(scratch.company, "KorvaneQuorvantaUpdate");
  CHECK_EQ(profile.SectionKey("Settings"),
           "Software\\" + scratch.company + "\\KorvaneQuorvantaUpdate\\Settings");
  CHECK_EQ(profile.GetInt("Settings", "ComPort", -1), -1);
  for (int value : {5, 21, -1, 0, 0x7FFFFFFF}) {
    CHECK(profile.WriteInt("Settings", "ComPort", value));
    CHECK_EQ(profile.GetInt("Settings", "ComPort", -7), value);
  }
  // Stored as a REG_DWORD in the section's key.
  HKEY key = nullptr;
  CHECK_EQ(
      RegOpenKeyExA(HKEY_CURRENT_USER, profile.SectionKey("Settings").c_str(), 0, KEY_READ, &key),
      ERROR_SUCCESS);
  DWORD type = 0;
  DWORD data = 0;
  DWORD size = sizeof data;
  CHECK_EQ(RegQueryValueExA(key, "ComPort", nullptr, &type, reinterpret_cast<BYTE*>(&data), &size),
           ERROR_SUCCESS);
  CHECK_EQ(type, static_cast<DWORD>(REG_DWORD));
  // A value of another type does not count.
  RegSetValueExA(key, "Text", 0, REG_SZ, reinterpret_cast<const BYTE*>("5"), 2);
  RegCloseKey(key);
  CHECK_EQ(profile.GetInt("Settings", "Text", -1), -1);
  CHECK_EQ(profile.GetInt("Other", "ComPort", 3), 3);
}

void PortListStopsAtTheFirstValueThatDoesNotFit() {
  currentTest = "port list";
  ScratchKey scratch;
  const std::string subkey = "Software\\" + scratch.company + "\\SERIALCOMM";
  std::vector<SerialPortListValue> values;
  RegistryPortList missing(HKEY_CURRENT_USER, subkey);
  CHECK(!missing.Enumerate(values));
  CHECK(values.empty());

  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_CURRENT_USER, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                  nullptr);
  auto add = [&](const std::string& name, const std::string& data) {
    RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>(data.size() + 1));
  };
  // Names in alphabetical order: some registries enumerate values sorted by name.
  add("\\Device\\Serial0", "COM3");
  add("\\Device\\Serial1", "com7");
  add("\\Device\\Serial2", "COM25");
  add("\\Device\\Serial3", std::string(50, 'C'));  // 51 bytes with its NUL: fits exactly
  add("\\Device\\Serial4", std::string(51, 'C'));  // 52 bytes: does not fit, ends the list
  add("\\Device\\Serial5", "COM9");
  RegCloseKey(key);

  RegistryPortList list(HKEY_CURRENT_USER, subkey);
  CHECK(list.Enumerate(values));
  const std::vector<std::string> expected = {"COM3", "com7", "COM25", std::string(50, 'C')};
  CHECK_EQ(values.size(), expected.size());
  for (std::size_t i = 0; i < values.size() && i < expected.size(); ++i) {
    CHECK_EQ(values[i].data, expected[i]);
    CHECK_EQ(values[i].name, "\\Device\\Serial" + std::to_string(i));
  }

  // A value name longer than the 501-character buffer ends the list as well.
  RegDeleteTreeA(HKEY_CURRENT_USER, subkey.c_str());
  RegCreateKeyExA(HKEY_CURRENT_USER, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                  nullptr);
  add("A", "COM1");
  add("B", "COM2");
  add("C" + std::string(600, 'N'), "COM3");
  add("D", "COM4");
  RegCloseKey(key);
  CHECK(list.Enumerate(values));
  CHECK_EQ(values.size(), 2u);
}

void ApplicationNameIsTheProgramFilesBaseName() {
  currentTest = "application name";
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\Program Files\\Upd\\KorvaneQuorvantaUpdate.exe", "KorvaneQuorvantaUpdate"},
      {"C:\\Tools\\x.exe", "x"},
      {"C:\\My.Tools\\update.v2.exe", "update.v2"},
      {"update", "update"},
      {"/unix/path/prog.exe", "prog"},
  };
  for (const auto& [path, name] : cases) CHECK_EQ(ApplicationNameFromModulePath(path), name);
}

LRESULT CALLBACK PlainWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

void CompanionScanSeesTitlesAndVisibility() {
  currentTest = "companion windows";
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = PlainWindow;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "KorvaneWin32TestWindow";
  RegisterClassA(&windowClass);
  const std::string longTitle = "halvenmoor serial test program " + std::string(120, 'x');
  HWND shown = CreateWindowA("KorvaneWin32TestWindow", longTitle.c_str(), WS_OVERLAPPED, 0, 0, 50,
                             50, nullptr, nullptr, windowClass.hInstance, nullptr);
  ShowWindow(shown, SW_SHOWNOACTIVATE);
  HWND hidden = CreateWindowA("KorvaneWin32TestWindow", "Halvenmoor Serial Test Program", 0, 0, 0,
                              50, 50, nullptr, nullptr, windowClass.hInstance, nullptr);
  Win32CompanionWindows companion;
  bool sawShown = false;
  bool sawHidden = false;
  for (const TopLevelWindow& window : companion.TopLevelWindows()) {
    if (window.handle == reinterpret_cast<uintptr_t>(shown)) {
      sawShown = true;
      CHECK(window.visible);
      CHECK_EQ(window.title, longTitle.substr(0, 99));
    }
    if (window.handle == reinterpret_cast<uintptr_t>(hidden)) {
      sawHidden = true;
      CHECK(!window.visible);
    }
  }
  CHECK(sawShown);
  CHECK(sawHidden);

  companion.PostMessage(reinterpret_cast<uintptr_t>(shown), 0x8065, 1001, 3);
  MSG message{};
  CHECK(PeekMessageA(&message, shown, 0x8065, 0x8065, PM_REMOVE));
  CHECK_EQ(message.wParam, 1001u);
  CHECK_EQ(message.lParam, 3);
  DestroyWindow(shown);
  DestroyWindow(hidden);
}

INT_PTR CALLBACK QuietDialog(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG ? TRUE : FALSE;
}

void DialogControlsWorkOnTheMainDialogsWindow() {
  currentTest = "dialog controls";
  HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(ids::kMainDialog),
                                   nullptr, QuietDialog, 0);
  CHECK(dialog != nullptr);
  if (dialog == nullptr)
    return;
  Win32DialogControls controls(dialog);

  controls.SetWindowTitle("Title \xA9");
  char title[64] = {};
  GetWindowTextA(dialog, title, sizeof title);
  CHECK_EQ(std::string(title), "Title \xA9");

  for (const std::string& text : {std::string("Firmware update failed"), std::string(),
                                  std::string("two\r\nlines"), std::string(3000, 'x')}) {
    controls.SetText(ids::kResult, text);
    CHECK_EQ(controls.GetText(ids::kResult), text);
  }
  CHECK_EQ(controls.GetText(4321), "");

  controls.Enable(ids::kBeginUpdate, false);
  CHECK(!controls.IsEnabled(ids::kBeginUpdate));
  controls.Enable(ids::kBeginUpdate, true);
  CHECK(controls.IsEnabled(ids::kBeginUpdate));
  CHECK(!controls.IsEnabled(4321));

  struct RadioCase {
    int check;
    int expected;
  };
  for (const RadioCase c : {RadioCase{2005, 2005}, RadioCase{2021, 2021}, RadioCase{2001, 2001},
                            RadioCase{0, 0}, RadioCase{2005, 2005}, RadioCase{1999, 0}}) {
    controls.CheckRadioButton(ids::kFirstPortButton, ids::kLastPortButton, c.check);
    CHECK_EQ(controls.GetCheckedRadioButton(ids::kFirstPortButton, ids::kLastPortButton),
             c.expected);
    int checkedCount = 0;
    for (int id = ids::kFirstPortButton; id <= ids::kLastPortButton; ++id) {
      checkedCount += IsDlgButtonChecked(dialog, id) == BST_CHECKED ? 1 : 0;
    }
    CHECK_EQ(checkedCount, c.expected == 0 ? 0 : 1);
  }

  // The wait cursor nests and is restored once the outermost call ends.
  controls.BeginWaitCursor();
  controls.BeginWaitCursor();
  CHECK_EQ(controls.WaitCursorDepth(), 2);
  CHECK(GetCursor() == LoadCursor(nullptr, IDC_WAIT));
  controls.EndWaitCursor();
  CHECK(GetCursor() == LoadCursor(nullptr, IDC_WAIT));
  controls.EndWaitCursor();
  controls.EndWaitCursor();  // one too many does no harm
  CHECK_EQ(controls.WaitCursorDepth(), 0);
  CHECK(GetCursor() != LoadCursor(nullptr, IDC_WAIT));
  DestroyWindow(dialog);
}

void PlacementIsCentredAQuarterFromTheTop() {
  currentTest = "placement";
  struct Case {
    int screenWidth, screenHeight, windowWidth, windowHeight, left, top;
  };
  for (const Case c : {Case{1024, 768, 600, 400, 212, 92}, Case{1280, 1024, 631, 601, 324, 105},
                       Case{640, 480, 700, 500, -30, -5}, Case{800, 600, 803, 607, -1, -1}}) {
    const looks::Placement place =
        looks::QuarterFromTop(c.screenWidth, c.screenHeight, c.windowWidth, c.windowHeight);
    CHECK_EQ(place.left, c.left);
    CHECK_EQ(place.top, c.top);
  }
}

// A portable dialog that ends itself from its timer, recording what the host routed to it.
class TimedDialog : public ModalDialog {
 public:
  int ResourceId() const override { return ids::kModuleIdDialog; }
  bool OnInitDialog(DialogControls& controls) override {
    controls_ = &controls;
    window_ = static_cast<Win32DialogControls&>(controls).Window();
    controls.SetText(ids::kModuleIdValue, "123456");
    controls.Enable(ids::kStartUpdate, false);
    controls.SetTimer(100, 10);
    return true;
  }
  void OnTimer(unsigned id) override {
    timerIds.push_back(id);
    if (timerIds.size() == 1) {
      moduleIdShown = controls_->GetText(ids::kModuleIdValue);
      startEnabled = controls_->IsEnabled(ids::kStartUpdate);
      RECT rect;
      GetWindowRect(window_, &rect);
      const looks::Placement place =
          looks::QuarterFromTop(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                rect.right - rect.left, rect.bottom - rect.top);
      placed = rect.left == place.left && rect.top == place.top;
      // Enter reaches the dialog as IDOK, which must not end it.
      PostMessageA(window_, WM_COMMAND, IDOK, 0);
    }
    if (timerIds.size() == 3) {
      controls_->KillTimer(100);
      controls_->EndDialog(7);
    }
  }
  void OnCommand(int id) override { commands.push_back(id); }
  void OnDestroy() override { ++destroyed; }

  std::vector<unsigned> timerIds;
  std::vector<int> commands;
  std::string moduleIdShown;
  bool startEnabled = true;
  bool placed = false;
  int destroyed = 0;

 private:
  DialogControls* controls_ = nullptr;
  HWND window_ = nullptr;
};

void ModalHostRoutesTimersCommandsAndResult() {
  currentTest = "modal host";
  Win32DialogControls owner;
  Win32DialogHost host(GetModuleHandleA(nullptr), owner);
  TimedDialog dialog;
  CHECK_EQ(host.RunModal(dialog), 7);
  CHECK_EQ(dialog.timerIds.size(), 3u);
  for (unsigned id : dialog.timerIds) CHECK_EQ(id, 100u);
  CHECK_EQ(dialog.moduleIdShown, "123456");
  CHECK(!dialog.startEnabled);
  CHECK(dialog.placed);
  CHECK_EQ(dialog.commands.size(), 1u);
  if (!dialog.commands.empty())
    CHECK_EQ(dialog.commands[0], IDOK);
  CHECK_EQ(dialog.destroyed, 1);
}

void Sha256MatchesTheStandardVectors() {
  currentTest = "sha256";
  for (const auto& [text, hex] : report_test::kSha256Vectors) {
    const std::vector<std::uint8_t> bytes(text.begin(), text.end());
    const auto digest = Sha256(bytes);
    CHECK(digest.has_value());
    if (digest)
      CHECK_EQ(Sha256Hex(*digest), std::string(hex));
  }
}

// A fresh folder in the temporary folder, removed with its files.
struct ScratchFolder {
  std::string path;
  ScratchFolder() {
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(sizeof temp, temp);
    path = std::string(temp) + "KorvaneRecords" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(path.c_str(), nullptr);
  }
  ~ScratchFolder() {
    for (const char* name : {"report.csv", "report.jsonl"}) DeleteFileA((path + name).c_str());
    RemoveDirectoryA(path.c_str());
  }
  std::string Read(const char* name) const {
    std::string content;
    if (FILE* file = std::fopen((path + name).c_str(), "rb")) {
      for (int c; (c = std::fgetc(file)) != EOF;) content += static_cast<char>(c);
      std::fclose(file);
    }
    return content;
  }
};

void RecordFileKeepsWhatIsThereAndStartsEachRecordOnALineOfItsOwn() {
  currentTest = "record file";
  for (const auto& c : report_test::kAppendCases) {
    ScratchFolder folder;
    const std::string path = folder.path + "report.csv";
    if (c.before != nullptr) {
      FILE* file = std::fopen(path.c_str(), "wb");
      std::fputs(c.before, file);
      std::fclose(file);
    }
    RecordFile file;
    CHECK(file.Open(path));
    CHECK(file.Append("r\n", "h\n"));
    file.Close();
    CHECK_EQ(folder.Read("report.csv"), std::string(c.after));
  }
}

// The two writers are this program again, started with "append FILE WRITER EVENT": they wait
// for the event, so that they start together.
int AppendAsWriter(const std::string& path, int writer, const std::string& event) {
  RecordFile file;
  HANDLE start = OpenEventA(SYNCHRONIZE, FALSE, event.c_str());
  if (!file.Open(path) || start == nullptr || WaitForSingleObject(start, 60000) != WAIT_OBJECT_0)
    return 2;
  for (int n = 0; n < report_test::kRecordsPerWriter; ++n) {
    if (!file.Append(report_test::Record(writer, n), report_test::kHeader))
      return 3;
  }
  return 0;
}

void TwoProgramsAppendingAtOnceLeaveOneHeaderAndWholeRecords() {
  currentTest = "record file, two writers";
  ScratchFolder folder;
  const std::string event = "KorvaneRecordsStart" + std::to_string(GetCurrentProcessId());
  HANDLE start = CreateEventA(nullptr, TRUE, FALSE, event.c_str());
  char program[MAX_PATH + 1] = {};
  GetModuleFileNameA(nullptr, program, sizeof program);
  std::vector<HANDLE> writers;
  for (int writer = 0; writer < 2; ++writer) {
    std::string command = std::string("\"") + program + "\" append \"" + folder.path +
                          "report.jsonl\" " + std::to_string(writer) + " " + event;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    CHECK(CreateProcessA(program, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                         &startup, &process));
    CloseHandle(process.hThread);
    writers.push_back(process.hProcess);
  }
  SetEvent(start);
  CHECK_EQ(WaitForMultipleObjects(static_cast<DWORD>(writers.size()), writers.data(), TRUE, 120000),
           static_cast<DWORD>(WAIT_OBJECT_0));
  for (HANDLE writer : writers) {
    DWORD code = 99;
    GetExitCodeProcess(writer, &code);
    CHECK_EQ(code, 0u);
    CloseHandle(writer);
  }
  CloseHandle(start);
  CHECK_EQ(report_test::CheckTwoWriters(folder.Read("report.jsonl")), "");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::string(argv[1]) == "append")
    return AppendAsWriter(argv[2], std::atoi(argv[3]), argv[4]);
  LoadLibraryA("RICHED20.DLL");
  const std::vector<std::pair<const char*, std::function<void()>>> tests = {
      {"DeviceControlBlockHasEveryMemberAsRequired", DeviceControlBlockHasEveryMemberAsRequired},
      {"SerialPortThatDoesNotExistFailsToOpen", SerialPortThatDoesNotExistFailsToOpen},
      {"ProfileReadsDefaultsAndKeepsWrittenValues", ProfileReadsDefaultsAndKeepsWrittenValues},
      {"PortListStopsAtTheFirstValueThatDoesNotFit", PortListStopsAtTheFirstValueThatDoesNotFit},
      {"ApplicationNameIsTheProgramFilesBaseName", ApplicationNameIsTheProgramFilesBaseName},
      {"CompanionScanSeesTitlesAndVisibility", CompanionScanSeesTitlesAndVisibility},
      {"DialogControlsWorkOnTheMainDialogsWindow", DialogControlsWorkOnTheMainDialogsWindow},
      {"PlacementIsCentredAQuarterFromTheTop", PlacementIsCentredAQuarterFromTheTop},
      {"ModalHostRoutesTimersCommandsAndResult", ModalHostRoutesTimersCommandsAndResult},
      {"Sha256MatchesTheStandardVectors", Sha256MatchesTheStandardVectors},
      {"RecordFileKeepsWhatIsThereAndStartsEachRecordOnALineOfItsOwn",
       RecordFileKeepsWhatIsThereAndStartsEachRecordOnALineOfItsOwn},
      {"TwoProgramsAppendingAtOnceLeaveOneHeaderAndWholeRecords",
       TwoProgramsAppendingAtOnceLeaveOneHeaderAndWholeRecords},
  };
  for (const auto& [name, test] : tests) {
    std::printf("%s\n", name);
    std::fflush(stdout);
    test();
  }
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
