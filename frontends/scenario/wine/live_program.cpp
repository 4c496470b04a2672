// SPDX-License-Identifier: GPL-3.0-or-later
#include "live_program.h"

#include <commctrl.h>
#include <psapi.h>

#include <standin/resources.h>
#include <standin/text.h>

#include <algorithm>

namespace wine_player {
namespace {

constexpr DWORD kStartLimitMs = 60000;  // the first start also builds Wine's font cache
constexpr DWORD kBusyLimitMs = 90000;   // the program waits up to 30 s for a service, in real time here
constexpr DWORD kSendLimitMs = 10000;   // one sent message
constexpr int kStableRounds = 3;

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
  reinterpret_cast<std::vector<HWND> *>(param)->push_back(window);
  return TRUE;
}

// A remote buffer in another process, freed with the object.
class RemoteBuffer {
 public:
  RemoteBuffer(HANDLE process, SIZE_T size)
      : process_(process), address_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE)) {}
  ~RemoteBuffer() {
    if (address_ != nullptr) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
  }
  RemoteBuffer(const RemoteBuffer &) = delete;
  RemoteBuffer &operator=(const RemoteBuffer &) = delete;
  unsigned char *get() const { return static_cast<unsigned char *>(address_); }

 private:
  HANDLE process_;
  void *address_;
};

LRESULT Send(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, message, wparam, lparam, SMTO_BLOCK, kSendLimitMs, &result)) return -1;
  return static_cast<LRESULT>(result);
}

// The window class and control identifiers of a template, as the platform's
// resource reader (the stand-in's) reads it.
bool ReadTemplate(const void *data, DWORD size, DialogTemplate *out, std::string *error) {
  standin::DialogTemplate dialog;
  if (!standin::ParseDialogTemplate(static_cast<const uint8_t *>(data), size, &dialog, error)) return false;
  if (!dialog.window_class.is_number)
    out->window_class.assign(dialog.window_class.name.begin(), dialog.window_class.name.end());
  for (const standin::DialogItemTemplate &item : dialog.items)
    if (item.id != -1) out->control_ids.push_back(item.id);
  std::sort(out->control_ids.begin(), out->control_ids.end());
  out->control_ids.erase(std::unique(out->control_ids.begin(), out->control_ids.end()), out->control_ids.end());
  return true;
}

struct TemplateCollection {
  std::vector<DialogTemplate> *templates;
  std::string error;
};

BOOL CALLBACK CollectTemplate(HMODULE module, LPCWSTR, LPWSTR name, LONG_PTR param) {
  auto *collection = reinterpret_cast<TemplateCollection *>(param);
  if (IS_INTRESOURCE(name)) return TRUE;  // the program names its templates
  HRSRC found = FindResourceW(module, name, MAKEINTRESOURCEW(5));
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const void *data = loaded ? LockResource(loaded) : nullptr;
  if (data == nullptr) return TRUE;
  DialogTemplate dialog;
  dialog.name = Utf8(name);
  std::string error;
  if (!ReadTemplate(data, SizeofResource(module, found), &dialog, &error)) {
    collection->error = "the dialog template " + dialog.name + " cannot be read: " + error;
    return FALSE;
  }
  collection->templates->push_back(dialog);
  return TRUE;
}

}  // namespace

std::string Utf8(const std::wstring &wide) {
  if (wide.empty()) return "";
  int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &out[0], n, nullptr, nullptr);
  return out;
}

std::wstring Wide(const std::string &utf8) {
  if (utf8.empty()) return L"";
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], n);
  return out;
}

}  // namespace wine_player

// The one text conversion the resource reader needs (a class named by a
// string), which the stand-in makes with iconv, made here by the platform.
std::string standin::Utf16ToUtf8(const std::u16string &wide) {
  return wine_player::Utf8(std::wstring(wide.begin(), wide.end()));
}

namespace wine_player {

bool ReadDialogTemplates(const std::wstring &exe_path, std::vector<DialogTemplate> *templates, std::string *error) {
  HMODULE module = LoadLibraryExW(exe_path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) {
    *error = "cannot read the resources of " + Utf8(exe_path) + " (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  templates->clear();
  TemplateCollection collection{templates, ""};
  EnumResourceNamesW(module, MAKEINTRESOURCEW(5), CollectTemplate, reinterpret_cast<LONG_PTR>(&collection));
  FreeLibrary(module);
  if (!collection.error.empty()) {
    *error = Utf8(exe_path) + ": " + collection.error;
    return false;
  }
  if (templates->empty()) {
    *error = Utf8(exe_path) + " holds no named dialog templates";
    return false;
  }
  return true;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[128] = {};
  GetClassNameW(window, name, 128);
  return name;
}

std::string FromCodePage(const std::string &ansi) {
  if (ansi.empty()) return "";
  const int units = MultiByteToWideChar(932, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(units), L'\0');
  MultiByteToWideChar(932, 0, ansi.data(), static_cast<int>(ansi.size()), &wide[0], units);
  return Utf8(wide);
}

std::string TextOf(HWND window) {
  // GetWindowText does not ask another process's control; WM_GETTEXT is
  // carried across.
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_BLOCK, kSendLimitMs, &length) || length == 0) return "";
  std::string ansi(length + 1, '\0');
  DWORD_PTR got = 0;
  SendMessageTimeoutA(window, WM_GETTEXT, ansi.size(), reinterpret_cast<LPARAM>(&ansi[0]), SMTO_BLOCK, kSendLimitMs,
                      &got);
  ansi.resize(got < ansi.size() ? got : 0);
  return FromCodePage(ansi);
}

int ControlId(HWND control) { return GetDlgCtrlID(control); }

// Wine carries LB_GETTEXT and CB_GETLBTEXT to another process in their
// Unicode form only; the control holds its items as the platform's table
// decoded the program's bytes.
std::vector<std::string> ItemsOf(HWND control) {
  const bool combo = ClassOf(control) == L"ComboBox";
  const UINT count_message = combo ? CB_GETCOUNT : LB_GETCOUNT;
  const UINT length_message = combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN;
  const UINT text_message = combo ? CB_GETLBTEXT : LB_GETTEXT;
  std::vector<std::string> items;
  const LRESULT count = Send(control, count_message, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = Send(control, length_message, i, 0);
    std::wstring text(length > 0 ? static_cast<size_t>(length) + 1 : 1, L'\0');
    const LRESULT got = Send(control, text_message, i, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    items.push_back(Utf8(text));
  }
  return items;
}

std::vector<int> ListBoxSelection(HWND list_box) {
  std::vector<int> selected;
  const LRESULT count = Send(list_box, LB_GETCOUNT, 0, 0);
  const bool multiple = GetWindowLongW(list_box, GWL_STYLE) & (LBS_EXTENDEDSEL | LBS_MULTIPLESEL);
  if (!multiple) {
    const LRESULT current = Send(list_box, LB_GETCURSEL, 0, 0);
    if (current >= 0) selected.push_back(static_cast<int>(current));
    return selected;
  }
  for (LRESULT i = 0; i < count; ++i)
    if (Send(list_box, LB_GETSEL, i, 0) > 0) selected.push_back(static_cast<int>(i));
  return selected;
}

LiveProgram::~LiveProgram() {
  Kill();
  if (info_.hProcess) CloseHandle(info_.hProcess);
  if (info_.hThread) CloseHandle(info_.hThread);
  if (stderr_file_ != INVALID_HANDLE_VALUE) CloseHandle(stderr_file_);
}

std::string LiveProgram::Start(const std::wstring &exe_path, const std::wstring &environment,
                               const std::wstring &stderr_path, const std::vector<DialogTemplate> &templates) {
  templates_ = templates;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  stderr_file_ = CreateFileW(stderr_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (stderr_file_ == INVALID_HANDLE_VALUE) return "cannot create " + Utf8(stderr_path);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = stderr_file_;
  startup.hStdError = stderr_file_;
  std::wstring command = L"\"" + exe_path + L"\"";
  std::wstring directory = exe_path.substr(0, exe_path.find_last_of(L"\\/"));
  if (!CreateProcessW(exe_path.c_str(), &command[0], nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                      const_cast<wchar_t *>(environment.c_str()), directory.c_str(), &startup, &info_))
    return "cannot start " + Utf8(exe_path) + " (error " + std::to_string(GetLastError()) + ")";
  process_id_ = info_.dwProcessId;
  // The program's first question may come from WM_INITDIALOG, before any
  // window is visible: WaitForInputIdle returns once its thread waits for
  // input, whatever it shows.
  const DWORD started = GetTickCount();
  WaitForInputIdle(info_.hProcess, kStartLimitMs);
  while (!FindThread()) {
    DWORD code = 0;
    if (Exited(&code)) return "";
    if (GetTickCount() - started > kStartLimitMs) return "the program showed no window within 60 seconds";
    Sleep(20);
  }
  if (!Settle()) return "the program stayed busy after its start";
  return "";
}

namespace {

struct ThreadSearch {
  DWORD process;
  DWORD thread;
};

// EnumWindows calls back by the platform's calling convention, which a
// lambda does not have on 32-bit Windows.
BOOL CALLBACK TakeProgramThread(HWND window, LPARAM param) {
  auto *search = reinterpret_cast<ThreadSearch *>(param);
  DWORD pid = 0;
  DWORD thread = GetWindowThreadProcessId(window, &pid);
  if (pid != search->process || ClassOf(window) == L"IME") return TRUE;
  search->thread = thread;
  return FALSE;
}

}  // namespace

bool LiveProgram::FindThread() {
  ThreadSearch search{process_id_, 0};
  EnumWindows(TakeProgramThread, reinterpret_cast<LPARAM>(&search));
  thread_id_ = search.thread;
  return thread_id_ != 0;
}

// The program waits for the user when its window thread has come back to
// fetching messages with nothing left to do. A message sent to one of its
// windows is handled only when that thread fetches messages (GetMessage in
// its own loop, a dialog's or a message box's loop), never while it runs a
// handler or sleeps; input already queued is fetched right after it. So:
// a sent WM_NULL comes back, the set of windows, their enabled states and
// the focus are the same as in the round before, three rounds in a row.
bool LiveProgram::Settle() {
  const DWORD started = GetTickCount();
  std::vector<std::pair<HWND, bool>> last;
  HWND last_focus = nullptr;
  int stable = 0;
  while (stable < kStableRounds) {
    DWORD code = 0;
    if (Exited(&code)) return true;
    if (GetTickCount() - started > kBusyLimitMs) return false;
    Sleep(20);
    if (thread_id_ == 0) FindThread();
    std::vector<HWND> all;
    EnumThreadWindows(thread_id_, CollectWindow, reinterpret_cast<LPARAM>(&all));
    bool answered = !all.empty();
    for (HWND window : all)
      if (IsWindow(window) && !SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, kSendLimitMs, nullptr) &&
          IsWindow(window))
        answered = false;
    std::vector<std::pair<HWND, bool>> now;
    for (HWND window : Windows()) now.emplace_back(window, IsWindowEnabled(window) != FALSE);
    HWND focus = Focus();
    if (answered && now == last && focus == last_focus)
      ++stable;
    else
      stable = 0;
    last = now;
    last_focus = focus;
  }
  return true;
}

bool LiveProgram::Exited(DWORD *code) {
  if (info_.hProcess == nullptr) return false;
  if (WaitForSingleObject(info_.hProcess, 0) != WAIT_OBJECT_0) return false;
  GetExitCodeProcess(info_.hProcess, code);
  return true;
}

bool LiveProgram::WaitForExit(DWORD ms, DWORD *code) {
  if (info_.hProcess != nullptr) WaitForSingleObject(info_.hProcess, ms);
  return Exited(code);
}

void LiveProgram::Kill() {
  DWORD code = 0;
  if (info_.hProcess != nullptr && !Exited(&code)) {
    TerminateProcess(info_.hProcess, 1);
    WaitForSingleObject(info_.hProcess, 5000);
  }
}

std::vector<HWND> LiveProgram::Windows(bool hidden_too) const {
  std::vector<HWND> all, found;
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&all));  // topmost first
  for (HWND window : all)
    if (GetWindowThreadProcessId(window, nullptr) == thread_id_ && (hidden_too || IsWindowVisible(window)))
      found.push_back(window);
  return found;
}

std::string LiveProgram::TemplateOf(HWND window) const {
  const std::wstring window_class = ClassOf(window);
  for (const DialogTemplate &dialog : templates_) {
    const std::wstring wanted = dialog.window_class.empty() ? L"#32770" : dialog.window_class;
    if (lstrcmpiW(wanted.c_str(), window_class.c_str()) != 0) continue;
    bool all = true;
    for (int id : dialog.control_ids) all = all && GetDlgItem(window, id) != nullptr;
    if (all) return dialog.name;
  }
  return "";
}

bool LiveProgram::IsMessageBox(HWND window) const { return ClassOf(window) == L"#32770" && TemplateOf(window).empty(); }

HWND LiveProgram::WindowOfTemplate(const std::string &name) const {
  for (HWND window : Windows(true))
    if (TemplateOf(window) == name) return window;
  return nullptr;
}

HWND LiveProgram::Focus() const {
  const DWORD self = GetCurrentThreadId();
  const bool attached = AttachThreadInput(self, thread_id_, TRUE) != FALSE;
  HWND focus = GetFocus();
  if (attached) AttachThreadInput(self, thread_id_, FALSE);
  return focus;
}

bool LiveProgram::ImageRange(uint64_t *start, uint64_t *end) const {
  HMODULE modules[1] = {};
  DWORD needed = 0;
  MODULEINFO module{};
  if (!K32EnumProcessModules(info_.hProcess, modules, sizeof modules, &needed) || needed == 0 ||
      !K32GetModuleInformation(info_.hProcess, modules[0], &module, sizeof module))
    return false;
  *start = reinterpret_cast<uint64_t>(module.lpBaseOfDll);
  *end = *start + module.SizeOfImage;
  return true;
}

int LiveProgram::RowCount(HWND list) const { return static_cast<int>(Send(list, LVM_GETITEMCOUNT, 0, 0)); }

std::vector<std::string> LiveProgram::Row(HWND list, int row, int columns) const {
  std::vector<std::string> texts;
  const SIZE_T chars = 1024;
  RemoteBuffer remote(info_.hProcess, sizeof(LVITEMA) + chars);
  if (remote.get() == nullptr) return texts;
  for (int column = 0; column < columns; ++column) {
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = reinterpret_cast<LPSTR>(remote.get() + sizeof(LVITEMA));
    item.cchTextMax = static_cast<int>(chars);
    WriteProcessMemory(info_.hProcess, remote.get(), &item, sizeof item, nullptr);
    const LRESULT n = Send(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(remote.get()));
    std::string ansi(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    if (n > 0) ReadProcessMemory(info_.hProcess, remote.get() + sizeof(LVITEMA), &ansi[0], ansi.size(), nullptr);
    texts.push_back(FromCodePage(ansi));
  }
  return texts;
}

std::vector<int> LiveProgram::ListViewSelection(HWND list) const {
  std::vector<int> rows;
  LRESULT row = -1;
  while ((row = Send(list, LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED)) >= 0)
    rows.push_back(static_cast<int>(row));
  return rows;
}

bool LiveProgram::ListViewItemRect(HWND list, int row, RECT *rect) const {
  RemoteBuffer remote(info_.hProcess, sizeof(RECT));
  if (remote.get() == nullptr) return false;
  RECT request{};
  request.left = LVIR_LABEL;
  WriteProcessMemory(info_.hProcess, remote.get(), &request, sizeof request, nullptr);
  if (Send(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(remote.get())) <= 0) return false;
  return ReadProcessMemory(info_.hProcess, remote.get(), rect, sizeof *rect, nullptr) != FALSE;
}

}  // namespace wine_player
