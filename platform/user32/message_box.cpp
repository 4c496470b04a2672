// SPDX-License-Identifier: GPL-3.0-or-later
// Message boxes, icons, cursors and the help engine: the calls whose
// answers or effects come from the user through the driver.
#include "window.h"

#include <standin/call_log.h>
#include <standin/driver.h>
#include <standin/text.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace standin {
namespace user32 {
namespace {

// Distinct objects whose addresses serve as the system cursor and icon handles.
char g_arrow_cursor, g_wait_cursor, g_ibeam_cursor, g_application_icon;
HCURSOR g_current_cursor = nullptr;
HelpRequest g_last_help;

HCURSOR Handle(char &object) { return reinterpret_cast<HCURSOR>(&object); }

// The boxes the program shows: MB_OK, and MB_YESNO with either default.
int DefaultAnswer(UINT style) {
  if ((style & MB_TYPEMASK) == MB_OK) return IDOK;
  return (style & MB_DEFMASK) == MB_DEFBUTTON2 ? IDNO : IDYES;
}

// The box's own window, answered through the driver seam
// (AnswerMessageBox): each front end draws the box and reads its keys itself.
LRESULT CALLBACK MessageBoxProc(HWND handle, UINT message, WPARAM wparam, LPARAM lparam) {
  Window *box = FromHandle(handle);
  if (box == nullptr) return 0;
  auto end = [box](int answer) {
    if (box->ended) return;
    box->ended = true;
    box->result = answer;
  };
  switch (message) {
    case kMsgUserAnswerBox:
      end(static_cast<int>(wparam));
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wparam) != WA_INACTIVE) MoveFocus(box);
      return 0;
    case WM_LBUTTONDOWN:  // a click on the box activates it again
      MoveFocus(box);
      return 0;
    default:
      return DefWindowProcA(handle, message, wparam, lparam);
  }
}

// MessageBoxA's modal loop. Only the owner is disabled: input for any other
// window is dispatched as the main loop would (without its dialog keys).
// A quit ends the loop and is posted again for the loop outside.
int RunMessageBox(Window *owner, const std::string &text, const std::string &caption, UINT style) {
  Window *box = NewWindow();
  box->kind = Kind::kMessageBox;  // no class name: boxes are told apart by their kind (IsMessageBox)
  box->proc = MessageBoxProc;
  box->owner = owner;
  box->style = WS_POPUP | WS_CAPTION | WS_VISIBLE;
  box->text = caption;
  box->box_text = text;
  box->box_style = style;
  box->modal = true;
  TopLevels().push_back(box);

  const bool disabled_owner = owner != nullptr && !(owner->style & WS_DISABLED);
  if (disabled_owner) SetEnabled(owner, false);
  Activate(box);

  bool quit = false;
  int quit_code = 0;
  while (box->alive && !box->ended) {
    MSG msg;
    if (!GetMessageA(&msg, nullptr, 0, 0)) {
      quit = true;
      quit_code = static_cast<int>(msg.wParam);
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  int answer = box->alive && box->ended ? static_cast<int>(box->result) : 0;
  if (disabled_owner && owner->alive) SetEnabled(owner, true);
  // A box goes with its owner: destroying it again then fails, as on the
  // platform, and the last error tells why MessageBoxA returns 0.
  DestroyWindow(ToHandle(box));
  if (quit) RequestQuit(quit_code);
  return answer;
}

}  // namespace

void SetCursorState(HCURSOR cursor) { g_current_cursor = cursor; }

void ResetCursorAndHelp() {
  g_current_cursor = nullptr;
  g_last_help = HelpRequest();
}

}  // namespace user32

bool IsWaitCursorShown() { return user32::g_current_cursor == user32::Handle(user32::g_wait_cursor); }
HCURSOR CurrentCursor() { return user32::g_current_cursor; }
HelpRequest LastHelpRequest() { return user32::g_last_help; }

}  // namespace standin

using namespace standin::user32;

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  std::string text = lpText ? lpText : "";
  std::string caption = lpCaption ? lpCaption : "Error";
  Window *owner = TopLevelOf(FromHandle(hWnd));
  if (Recording()) {
    char style[16];
    snprintf(style, sizeof style, "0x%X", uType);
    standin::RecordCall("MessageBoxA", "",
                        "owner=" + Describe(owner) + " style=" + style + " caption=" + standin::Cp932ToUtf8(caption) +
                            " text=" + standin::Cp932ToUtf8(text));
  }
  // Kinds the program never shows are refused, as an unknown type is.
  if ((uType & MB_TYPEMASK) != MB_OK && (uType & MB_TYPEMASK) != MB_YESNO) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  // Nobody can answer: the default button's answer, at once.
  if (standin::CurrentDriver() == nullptr) return DefaultAnswer(uType);
  return RunMessageBox(owner, text, caption, uType);
}

HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName) {
  if (standin::user32::Recording()) {
    std::string name = lpIconName == nullptr        ? "null"
                       : IS_INTRESOURCE(lpIconName) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(lpIconName))
                                                    : lpIconName;
    standin::RecordCall("LoadIconA", "", std::string("instance=") + (hInstance ? "module" : "null") + " name=" + name);
  }
  if (lpIconName == nullptr) return nullptr;
  if (hInstance == nullptr)
    return lpIconName == IDI_APPLICATION ? reinterpret_cast<HICON>(&g_application_icon) : nullptr;
  // A module's icon is its icon group resource; its handle is stable per name.
  if (!ModuleHasResource(hInstance, 14, lpIconName)) {
    SetLastError(1813);  // ERROR_RESOURCE_TYPE_NOT_FOUND
    return nullptr;
  }
  static std::vector<std::unique_ptr<std::string>> icons;
  std::string key =
      IS_INTRESOURCE(lpIconName) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(lpIconName)) : lpIconName;
  for (auto &icon : icons)
    if (*icon == key) return reinterpret_cast<HICON>(icon.get());
  icons.push_back(std::make_unique<std::string>(key));
  return reinterpret_cast<HICON>(icons.back().get());
}

HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName) {
  if (standin::user32::Recording()) {
    std::string name = IS_INTRESOURCE(lpCursorName) ? std::to_string(reinterpret_cast<ULONG_PTR>(lpCursorName))
                                                    : std::string(lpCursorName ? lpCursorName : "null");
    standin::RecordCall("LoadCursorA", "",
                        std::string("instance=") + (hInstance ? "module" : "null") + " name=" + name);
  }
  if (hInstance != nullptr) return nullptr;  // the program has no cursor resources
  if (lpCursorName == IDC_ARROW) return reinterpret_cast<HCURSOR>(&g_arrow_cursor);
  if (lpCursorName == IDC_WAIT) return reinterpret_cast<HCURSOR>(&g_wait_cursor);
  if (lpCursorName == IDC_IBEAM) return reinterpret_cast<HCURSOR>(&g_ibeam_cursor);
  SetLastError(1813);
  return nullptr;
}

HCURSOR WINAPI SetCursor(HCURSOR hCursor) {
  if (standin::user32::Recording())
    standin::RecordCall("SetCursor", "",
                        std::string("cursor=") + (hCursor == reinterpret_cast<HCURSOR>(&g_wait_cursor)    ? "wait"
                                                  : hCursor == reinterpret_cast<HCURSOR>(&g_arrow_cursor) ? "arrow"
                                                  : hCursor == nullptr                                    ? "none"
                                                                                                          : "other"));
  HCURSOR previous = g_current_cursor;
  g_current_cursor = hCursor;
  if (standin::Driver *driver = standin::CurrentDriver()) driver->CursorChanged(hCursor);
  return previous;
}

BOOL WINAPI WinHelpA(HWND hWndMain, LPCSTR lpszHelp, UINT uCommand, ULONG_PTR dwData) {
  std::string file = lpszHelp ? lpszHelp : "";
  if (standin::user32::Recording())
    standin::RecordCall("WinHelpA", "",
                        "file=" + file + " command=" + std::to_string(uCommand) + " data=" + std::to_string(dwData));
  g_last_help.any = true;
  g_last_help.file = file;
  g_last_help.command = uCommand;
  g_last_help.data = dwData;
  if (standin::Driver *driver = standin::CurrentDriver()) driver->Help(hWndMain, file, uCommand, dwData);
  return TRUE;
}

namespace standin::user32 {

void Beep() {
  if (standin::Driver *driver = standin::CurrentDriver()) driver->Beep();
}

}  // namespace standin::user32
