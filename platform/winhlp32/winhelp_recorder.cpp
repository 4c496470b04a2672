// SPDX-License-Identifier: GPL-3.0-or-later
// A help viewer that shows nothing: installed in the Wine prefix as
// winhlp32.exe, so that WinHelpA returns at once instead of waiting on a
// viewer that asks for a missing help file. USER32's WinHelpA starts
// "winhlp32.exe -x" when no window of class MS_WINHELP exists, then sends
// that window each request as WM_COPYDATA. Every request is appended to the
// file VELMORA_HELP_LOG names (if any) as one line:
//   COMMAND <tab> HELP FILE <tab> DATA
// (COMMAND and DATA in decimal; DATA is the string for the commands that
// pass one). HELP_QUIT is recorded too, then the viewer ends, unless it was
// started with --stay: then it serves every program of the Wine session.
//
// USER32 does not wait long enough for a viewer it starts itself (under Wine
// its WaitForInputIdle can return before the window exists, and that first
// request fails), so the Wine environment starts the viewer beforehand:
// "winhlp32.exe -x [--stay] --ready FILE" creates FILE once its window can be
// found.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The request layout inside WM_COPYDATA, tagged with this magic number.
constexpr ULONG_PTR kWinHelpMagic = 0xA1DE505;
bool g_stay = false;
struct HelpRequest {
  WORD size;
  WORD command;
  LONG data;
  LONG reserved;
  WORD file_offset;
  WORD data_offset;
};

bool CarriesString(WORD command) {
  return command == HELP_KEY || command == HELP_PARTIALKEY || command == HELP_COMMAND;
}

// The string at `offset` inside the request, or "" when it is missing or runs
// past the end.
std::string StringAt(const BYTE *request, DWORD size, WORD offset) {
  if (offset == 0 || offset >= size) return "";
  const char *text = reinterpret_cast<const char *>(request + offset);
  size_t length = 0;
  while (offset + length < size && text[length] != '\0') ++length;
  return std::string(text, length);
}

// Appends one request to the record; returns its command.
WORD Record(const COPYDATASTRUCT &copy) {
  HelpRequest request{};
  if (copy.cbData < sizeof request || copy.lpData == nullptr) return 0;
  std::memcpy(&request, copy.lpData, sizeof request);
  const auto *bytes = static_cast<const BYTE *>(copy.lpData);
  const std::string file = StringAt(bytes, copy.cbData, request.file_offset);
  const std::string data = CarriesString(request.command) ? StringAt(bytes, copy.cbData, request.data_offset)
                                                          : std::to_string(static_cast<unsigned long>(request.data));
  const char *log = std::getenv("VELMORA_HELP_LOG");
  if (log != nullptr && *log != '\0') {
    if (FILE *out = std::fopen(log, "ab")) {
      std::fprintf(out, "%u\t%s\t%s\n", request.command, file.c_str(), data.c_str());
      std::fclose(out);
    }
  }
  return request.command;
}

LRESULT CALLBACK ViewerProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COPYDATA) {
    const auto *copy = reinterpret_cast<const COPYDATASTRUCT *>(lparam);
    if (copy == nullptr || copy->dwData != kWinHelpMagic) return FALSE;
    if (Record(*copy) == HELP_QUIT && !g_stay) DestroyWindow(window);
    return TRUE;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

// The file named after "--ready", the last option on the command line, or "".
std::string ReadyFile(const char *command_line) {
  const char *found = std::strstr(command_line, "--ready ");
  if (found == nullptr) return "";
  std::string path = found + 8;
  while (!path.empty() && path.front() == ' ') path.erase(0, 1);
  if (path.size() >= 2 && path.front() == '"' && path.back() == '"') path = path.substr(1, path.size() - 2);
  return path;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = ViewerProc;
  window_class.hInstance = instance;
  window_class.lpszClassName = "MS_WINHELP";
  if (!RegisterClassA(&window_class)) return 1;
  // Never shown: WinHelpA finds it by class.
  if (!CreateWindowA("MS_WINHELP", "", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr)) return 1;
  g_stay = std::strstr(command_line, "--stay") != nullptr;
  const std::string ready = ReadyFile(command_line);
  if (!ready.empty()) {
    HANDLE file = CreateFileA(ready.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
  return 0;
}
