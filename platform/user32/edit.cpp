// SPDX-License-Identifier: GPL-3.0-or-later
// The EDIT class, single-line: ANSI text with double-byte characters kept
// whole, a selection and caret, the text limit (in bytes), the typing rules
// of ES_UPPERCASE, ES_LOWERCASE and ES_NUMBER, and the clipboard commands.
// Text comes from the user or, whole, from WM_SETTEXT: no client replaces a
// selection (EM_REPLACESEL), which DefWindowProc ignores.
#include "window.h"

#include <algorithm>
#include <optional>

namespace standin {
namespace user32 {
namespace {

size_t SelLow(const Window *edit) { return std::min(edit->sel_start, edit->sel_end); }
size_t SelHigh(const Window *edit) { return std::max(edit->sel_start, edit->sel_end); }

// Start of the character that contains byte `offset`, so that a position
// never falls between a lead and a trail byte.
size_t SnapToCharacter(const std::string &text, size_t offset) {
  if (offset >= text.size()) return text.size();
  size_t i = 0;
  while (i < offset) {
    size_t step = IsCp932LeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
    if (i + step > offset) break;
    i += step;
  }
  return i;
}

size_t NextCharacter(const std::string &text, size_t offset) {
  if (offset >= text.size()) return text.size();
  size_t step = IsCp932LeadByte(static_cast<unsigned char>(text[offset])) && offset + 1 < text.size() ? 2 : 1;
  return offset + step;
}

size_t PreviousCharacter(const std::string &text, size_t offset) {
  if (offset == 0) return 0;
  return SnapToCharacter(text, offset - 1);
}

void Changed(Window *edit) {
  NotifyParent(edit, EN_UPDATE);
  NotifyParent(edit, EN_CHANGE);
}

void ApplyCase(const Window *edit, std::string *text) {
  for (char &c : *text) {
    if ((edit->style & ES_UPPERCASE) && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if ((edit->style & ES_LOWERCASE) && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
}

// Text typed by the user, under the style's rules and the limit. A refused
// character beeps, as the platform's edit does.
void TypeText(Window *edit, std::string typed) {
  if (edit->style & ES_READONLY) {
    Beep();
    return;
  }
  if (typed.size() == 1) ApplyCase(edit, &typed);
  if ((edit->style & ES_NUMBER) && (typed.size() != 1 || typed[0] < '0' || typed[0] > '9')) {
    Beep();
    return;
  }
  size_t low = SelLow(edit), high = SelHigh(edit);
  if (edit->text.size() - (high - low) + typed.size() > edit->limit) {
    NotifyParent(edit, EN_MAXTEXT);
    Beep();
    return;
  }
  edit->text.replace(low, high - low, typed);
  edit->sel_start = edit->sel_end = low + typed.size();
  Changed(edit);
}

// WM_PASTE: the clipboard's text replaces the selection. A single-line edit
// takes the text up to its first line break; the case styles apply, ES_NUMBER
// does not, and the limit (bytes) cuts the text at a whole character.
void Paste(Window *edit) {
  if (edit->style & ES_READONLY) return;
  std::optional<std::string> clipboard = ClipboardAnsiText();
  if (!clipboard) return;
  std::string text = *clipboard;
  size_t line_break = text.find_first_of("\r\n");
  if (line_break != std::string::npos) text.resize(line_break);
  ApplyCase(edit, &text);
  size_t low = SelLow(edit), high = SelHigh(edit);
  const size_t kept = edit->text.size() - (high - low);
  const size_t room = kept < edit->limit ? edit->limit - kept : 0;
  bool cut = false;
  if (text.size() > room) {
    text.resize(SnapToCharacter(text, room));
    cut = true;
  }
  if (!text.empty() || high > low) {
    edit->text.replace(low, high - low, text);
    edit->sel_start = edit->sel_end = low + text.size();
    Changed(edit);
  }
  if (cut) NotifyParent(edit, EN_MAXTEXT);
}

// WM_COPY: the selected bytes become the clipboard's CF_TEXT; nothing
// selected copies nothing.
void Copy(Window *edit) {
  size_t low = SelLow(edit), high = SelHigh(edit);
  if (low < high) SetClipboardAnsiText(edit->text.substr(low, high - low));
}

void DeleteRange(Window *edit, size_t low, size_t high) {
  if (edit->style & ES_READONLY) {
    Beep();
    return;
  }
  if (low >= high) return;
  edit->text.erase(low, high - low);
  edit->sel_start = edit->sel_end = low;
  Changed(edit);
}

void MoveCaret(Window *edit, size_t to, bool extend) {
  edit->sel_end = to;
  if (!extend) edit->sel_start = to;
}

void HandleKey(Window *edit, WPARAM key) {
  bool shift = CurrentKeyState().shift;
  const std::string &text = edit->text;
  switch (key) {
    case VK_LEFT:
      if (!shift && edit->sel_start != edit->sel_end)
        MoveCaret(edit, SelLow(edit), false);
      else
        MoveCaret(edit, PreviousCharacter(text, edit->sel_end), shift);
      break;
    case VK_RIGHT:
      if (!shift && edit->sel_start != edit->sel_end)
        MoveCaret(edit, SelHigh(edit), false);
      else
        MoveCaret(edit, NextCharacter(text, edit->sel_end), shift);
      break;
    case VK_HOME:
      MoveCaret(edit, 0, shift);
      break;
    case VK_END:
      MoveCaret(edit, text.size(), shift);
      break;
    case VK_INSERT:  // Shift+Insert pastes, Ctrl+Insert copies
      if (shift)
        Send(edit, WM_PASTE, 0, 0);
      else if (CurrentKeyState().ctrl)
        Send(edit, WM_COPY, 0, 0);
      break;
    case VK_DELETE:
      if (shift) {  // Shift+Delete cuts
        Send(edit, WM_CUT, 0, 0);
        break;
      }
      if (edit->sel_start != edit->sel_end)
        DeleteRange(edit, SelLow(edit), SelHigh(edit));
      else
        DeleteRange(edit, edit->sel_end, NextCharacter(text, edit->sel_end));
      break;
    default:
      break;
  }
}

void HandleChar(Window *edit, unsigned char c) {
  if (edit->pending_lead >= 0) {
    std::string pair{static_cast<char>(edit->pending_lead), static_cast<char>(c)};
    edit->pending_lead = -1;
    TypeText(edit, pair);
    return;
  }
  if (c == VK_BACK) {
    if (edit->sel_start != edit->sel_end)
      DeleteRange(edit, SelLow(edit), SelHigh(edit));
    else
      DeleteRange(edit, PreviousCharacter(edit->text, edit->sel_end), edit->sel_end);
    return;
  }
  // Ctrl+V, Ctrl+C and Ctrl+X arrive as their control characters.
  if (c == 0x16) {
    Send(edit, WM_PASTE, 0, 0);
    return;
  }
  if (c == 0x03) {
    Send(edit, WM_COPY, 0, 0);
    return;
  }
  if (c == 0x18) {
    Send(edit, WM_CUT, 0, 0);
    return;
  }
  if (c < 0x20 || c == 0x7F) return;  // other control characters type nothing
  if (IsCp932LeadByte(c)) {
    edit->pending_lead = c;  // the trail byte follows in the next WM_CHAR: drivers type whole characters
    return;
  }
  TypeText(edit, std::string(1, static_cast<char>(c)));
}

}  // namespace

LRESULT CALLBACK EditProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  Window *edit = FromHandle(hwnd);
  if (edit == nullptr) return 0;
  switch (message) {
    case WM_GETDLGCODE: {
      LRESULT code = DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
      if (edit->style & ES_MULTILINE) code |= DLGC_WANTALLKEYS;
      return code;
    }
    case WM_SETTEXT:
      // Text from the program bypasses the typing rules and the limit.
      edit->text = lparam ? reinterpret_cast<LPCSTR>(lparam) : "";
      edit->sel_start = edit->sel_end = 0;
      edit->pending_lead = -1;
      Changed(edit);
      return TRUE;
    case EM_LIMITTEXT:
      edit->limit = wparam == 0 ? 0x7FFFFFFE : static_cast<size_t>(wparam);
      return 0;
    case EM_GETLIMITTEXT:
      return static_cast<LRESULT>(edit->limit);
    case EM_SETSEL: {
      long start = static_cast<long>(static_cast<int>(wparam));
      long end = static_cast<long>(static_cast<int>(lparam));
      size_t size = edit->text.size();
      if (start < 0) {  // -1 removes the selection and keeps the caret
        edit->sel_start = edit->sel_end;
        return 0;
      }
      size_t from = SnapToCharacter(edit->text, std::min(static_cast<size_t>(start), size));
      size_t to = end < 0 ? size : std::min(static_cast<size_t>(end), size);
      if (to != size && to > 0 && SnapToCharacter(edit->text, to) != to)
        to = NextCharacter(edit->text, SnapToCharacter(edit->text, to));
      edit->sel_start = from;
      edit->sel_end = to;
      return 0;
    }
    case EM_GETSEL: {
      DWORD low = static_cast<DWORD>(SelLow(edit)), high = static_cast<DWORD>(SelHigh(edit));
      if (wparam) *reinterpret_cast<DWORD *>(wparam) = low;
      if (lparam) *reinterpret_cast<DWORD *>(lparam) = high;
      return MAKELONG(low, high);
    }
    case WM_PASTE:
      Paste(edit);
      return 0;
    case WM_COPY:
      Copy(edit);
      return 0;
    case WM_CUT:
      Copy(edit);
      if (!(edit->style & ES_READONLY) && edit->sel_start != edit->sel_end)
        DeleteRange(edit, SelLow(edit), SelHigh(edit));
      return 0;
    case WM_CLEAR:
      if (!(edit->style & ES_READONLY) && edit->sel_start != edit->sel_end)
        DeleteRange(edit, SelLow(edit), SelHigh(edit));
      return 0;
    case WM_CHAR:
      HandleChar(edit, static_cast<unsigned char>(wparam));
      return 0;
    case WM_KEYDOWN:
      HandleKey(edit, wparam);
      return 0;
    case WM_LBUTTONDOWN:
      MoveFocus(edit);
      return 0;
    case kMsgUserReplaceText:
      edit->sel_start = 0;
      edit->sel_end = edit->text.size();
      edit->pending_lead = -1;
      return 0;
    case WM_SETFOCUS:
      NotifyParent(edit, EN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      NotifyParent(edit, EN_KILLFOCUS);
      return 0;
    default:
      return DefWindowProcA(hwnd, message, wparam, lparam);
  }
}

}  // namespace user32
}  // namespace standin
