// SPDX-License-Identifier: GPL-3.0-or-later
// Drives the help viewer of a Wine session as a program does, through
// WinHelpA, and reads back what it shows, for help_file_wine_test.sh.
//   help-viewer-probe.exe HELP_FILE STEP...
//     STEP "contents" (HELP_CONTENTS), a map number (HELP_CONTEXT), "quit"
//     (HELP_QUIT) or "ready" (waits up to 30 s for a viewer's window). Prints
//     one UTF-8 line a step: "ready <tab> yes|no"; "STEP <tab> FIRST LINE <tab>
//     SECOND LINE" of the topic once its text has changed and settled; "quit
//     <tab> closed", or "open" while a viewer window is still there after 15 s.
//   help-viewer-probe.exe --render TEXT HALF_POINTS BOLD OUT.pgm
//     draws TEXT black on white in the help file's face at that size,
//     as GDI draws it on this display, into a binary greymap: the picture
//     that the viewer's screen must hold where it shows TEXT.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const wchar_t kFaceName[] = L"\xFF2D\xFF33 \x30B4\x30B7\x30C3\x30AF";  // ＭＳ ゴシック

std::string Utf8(const std::wstring &text) {
  std::string out(text.size() * 3, '\0');
  out.resize(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0],
                                 static_cast<int>(out.size()), nullptr, nullptr));
  return out;
}

std::wstring TextOf(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 500, &length)) return L"";
  // Room for the ANSI text of an ANSI control, which Wine converts through a
  // buffer of the count given: two bytes a character in code page 932.
  std::vector<wchar_t> buffer(length * 2 + 2);
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG,
                           2000, &copied))
    return L"";
  return std::wstring(buffer.data(), copied);
}

// The text of the viewer's rich edit controls, in window order.
BOOL CALLBACK CollectText(HWND child, LPARAM lparam) {
  char name[64] = "";
  GetClassNameA(child, name, sizeof name);
  CharLowerA(name);
  if (std::string(name).find("richedit") == std::string::npos) return TRUE;
  std::wstring text = TextOf(child);
  if (!text.empty()) *reinterpret_cast<std::wstring *>(lparam) += text + L"\r";
  return TRUE;
}

std::wstring TopicText(HWND viewer) {
  std::wstring text;
  EnumChildWindows(viewer, CollectText, reinterpret_cast<LPARAM>(&text));
  return text;
}

// The first `count` lines that are more than spaces, "" for those missing.
std::vector<std::wstring> FirstLines(const std::wstring &text, size_t count) {
  std::vector<std::wstring> lines;
  for (size_t start = 0, end = 0; lines.size() < count && start <= text.size(); start = end + 1) {
    end = std::min(text.find_first_of(L"\r\n", start), text.size());
    const std::wstring line = text.substr(start, end - start);
    if (line.find_first_not_of(L' ') != std::wstring::npos) lines.push_back(line);
  }
  lines.resize(count);
  return lines;
}

HWND Viewer() { return FindWindowA("MS_WINHELP", nullptr); }

// Waits, handling whatever the viewer sends to this program's window.
void Pause(DWORD milliseconds) {
  DWORD until = GetTickCount() + milliseconds;
  for (DWORD now = GetTickCount(); static_cast<LONG>(until - now) > 0; now = GetTickCount()) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, until - now, QS_ALLINPUT);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  }
}

// Whether `holds` comes true within `tries` looks 200 ms apart.
template <typename Condition>
bool Within(int tries, Condition holds) {
  for (int i = 0; i < tries; ++i, Pause(200))
    if (holds()) return true;
  return false;
}

// A step that takes a minute (a viewer stuck in a message box) ends the probe with a line saying which.
char **g_steps = nullptr;
std::atomic<int> g_step{0};
DWORD WINAPI Watchdog(LPVOID) {
  for (int seen = -1;; Sleep(60000)) {
    if (g_step == seen) {
      std::printf("%s\tno answer in 60 s\n", g_steps[seen]);
      std::fflush(stdout);
      ExitProcess(1);
    }
    seen = g_step;
  }
}

// Waits up to 20 s for the viewer to show a text other than `before` that
// stays the same for half a second; returns what it shows then.
std::wstring AwaitTopic(const std::wstring &before) {
  std::wstring last;
  int same = 0;
  for (int i = 0; i < 100; ++i) {
    Pause(200);
    HWND viewer = Viewer();
    std::wstring now = viewer ? TopicText(viewer) : L"";
    same = (now == last) ? same + 1 : 0;
    last = now;
    if (!now.empty() && now != before && same >= 2) break;
  }
  return last;
}

int Probe(const char *help_file, int count, char **steps) {
  HWND owner = CreateWindowA("STATIC", "help-viewer-probe", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
  g_steps = steps;
  CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr);
  std::wstring before;
  for (int i = 0; i < count; ++i) {
    g_step = i;
    const std::string step = steps[i];
    if (step == "ready") {
      // A viewer started beforehand has its window: else WinHelpA would start a second one.
      std::printf("ready\t%s\n", Within(150, [] { return Viewer() != nullptr; }) ? "yes" : "no");
    } else if (step == "quit") {
      WinHelpA(owner, help_file, HELP_QUIT, 0);
      std::printf("quit\t%s\n", Within(76, [] { return Viewer() == nullptr; }) ? "closed" : "open");
    } else if (!WinHelpA(owner, help_file, step == "contents" ? HELP_CONTENTS : HELP_CONTEXT,
                         std::strtoul(step.c_str(), nullptr, 0))) {  // 0 for "contents"
      std::printf("%s\tWinHelpA failed (%lu)\n", step.c_str(), GetLastError());
    } else {
      before = AwaitTopic(before);
      const std::vector<std::wstring> lines = FirstLines(before, 2);
      std::printf("%s\t%s\t%s\n", step.c_str(), Utf8(lines[0]).c_str(), Utf8(lines[1]).c_str());
    }
    std::fflush(stdout);
  }
  DestroyWindow(owner);
  return 0;
}

int Render(const std::wstring &text, int half_points, bool bold, const char *out_path) {
  HDC screen = GetDC(nullptr);
  int height = -MulDiv(half_points, GetDeviceCaps(screen, LOGPIXELSY), 144);
  HFONT font =
      CreateFontW(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, kFaceName);
  HDC dc = CreateCompatibleDC(screen);
  HGDIOBJ old_font = SelectObject(dc, font);
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = size.cx;
  info.bmiHeader.biHeight = -size.cy;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void *bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old_bitmap = SelectObject(dc, bitmap);
  RECT all{0, 0, size.cx, size.cy};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SetTextColor(dc, RGB(0, 0, 0));
  SetBkMode(dc, TRANSPARENT);
  TextOutW(dc, 0, 0, text.c_str(), static_cast<int>(text.size()));
  GdiFlush();
  FILE *out = std::fopen(out_path, "wb");
  if (out) {
    std::fprintf(out, "P5\n%ld %ld\n255\n", size.cx, size.cy);
    const auto *pixels = static_cast<const BYTE *>(bits);
    for (long i = 0; i < size.cx * size.cy; ++i) std::fputc(pixels[i * 4 + 1], out);  // green
    std::fclose(out);
  }
  SelectObject(dc, old_bitmap);
  SelectObject(dc, old_font);
  DeleteObject(bitmap);
  DeleteObject(font);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return out ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc == 6 && std::string(argv[1]) == "--render") {
    // The text as given, not through the ANSI code page of argv.
    int count = 0;
    LPWSTR *wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::wstring text = wide && count == 6 ? wide[2] : L"";
    LocalFree(wide);
    return Render(text, std::atoi(argv[3]), argv[4][0] == '1', argv[5]);
  }
  if (argc >= 3) return Probe(argv[1], argc - 2, argv + 2);
  std::fprintf(stderr, "usage: help-viewer-probe HELP_FILE STEP... | --render TEXT HALF_POINTS BOLD OUT.pgm\n");
  return 2;
}
