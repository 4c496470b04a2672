// SPDX-License-Identifier: GPL-3.0-or-later
// The stand-in's own interface to its windows: inspection for tests and
// front ends, and input given the way a user gives it.
#include "window.h"

#include <standin/driver.h>

namespace standin {

using user32::FromHandle;
using user32::Kind;
using user32::ToHandle;
using user32::Window;

void ResetUserInterface() {
  user32::ResetWindows();
  user32::ResetDialogFaults();
  user32::ResetQueueState();
  user32::ResetCursorAndHelp();
  user32::ResetActivation();
  user32::ResetClipboard();
}

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> result;
  for (Window *window : user32::TopLevels()) result.push_back(ToHandle(window));
  return result;
}

HWND ActiveWindow() {
  const auto &tops = user32::TopLevels();
  for (auto it = tops.rbegin(); it != tops.rend(); ++it)
    if ((*it)->modal && !(*it)->ended && (*it)->kind != Kind::kMessageBox) return ToHandle(*it);
  for (Window *window : tops)
    if (!window->ended) return ToHandle(window);
  return nullptr;
}

HWND InnermostWindow() {
  const auto &tops = user32::TopLevels();
  for (auto it = tops.rbegin(); it != tops.rend(); ++it)
    if ((*it)->modal && !(*it)->ended) return ToHandle(*it);
  return ActiveWindow();
}

std::vector<HWND> OpenMessageBoxes() {
  std::vector<HWND> result;
  for (Window *window : user32::TopLevels())
    if (window->kind == Kind::kMessageBox && !window->ended) result.push_back(ToHandle(window));
  return result;
}

bool IsMessageBox(HWND window) {
  Window *w = FromHandle(window);
  return w && w->kind == Kind::kMessageBox;
}

std::string MessageBoxTextOf(HWND box) {
  Window *w = FromHandle(box);
  return w && w->kind == Kind::kMessageBox ? w->box_text : "";
}

UINT MessageBoxStyleOf(HWND box) {
  Window *w = FromHandle(box);
  return w && w->kind == Kind::kMessageBox ? w->box_style : 0;
}

HWND OwnerOf(HWND window) {
  Window *w = FromHandle(window);
  return w && w->owner ? ToHandle(w->owner) : nullptr;
}

std::string TemplateNameOf(HWND window) {
  Window *w = FromHandle(window);
  return w ? w->template_name : "";
}

bool IsModalDialog(HWND window) {
  Window *w = FromHandle(window);
  return w && w->modal;
}

std::vector<HWND> ControlsOf(HWND dialog) {
  std::vector<HWND> result;
  if (Window *w = FromHandle(dialog))
    for (Window *child : w->children)
      if (child->alive) result.push_back(ToHandle(child));
  return result;
}

HWND ControlById(HWND dialog, int id) {
  Window *control = user32::ControlWithId(FromHandle(dialog), id);
  return control ? ToHandle(control) : nullptr;
}

int ControlIdOf(HWND control) {
  Window *w = FromHandle(control);
  return w ? w->id : 0;
}

std::string ClassNameOf(HWND window) {
  Window *w = FromHandle(window);
  return w ? w->class_name : "";
}

DWORD StyleOf(HWND window) {
  Window *w = FromHandle(window);
  return w ? w->style : 0;
}

DWORD ExStyleOf(HWND window) {
  Window *w = FromHandle(window);
  return w ? w->ex_style : 0;
}

DialogUnits PlacementOf(HWND window) {
  Window *w = FromHandle(window);
  return w ? w->placement : DialogUnits();
}

int FontPointSizeOf(HWND dialog) {
  Window *w = FromHandle(dialog);
  return w ? w->font_points : 0;
}

std::string FontFaceOf(HWND dialog) {
  Window *w = FromHandle(dialog);
  return w ? w->font_face : "";
}

std::string TextOf(HWND window) {
  Window *w = FromHandle(window);
  if (w == nullptr) return "";
  if (w->kind == Kind::kComboBox) return w->current >= 0 ? w->items[static_cast<size_t>(w->current)] : "";
  return w->text;
}

bool IsEnabledSelf(HWND window) {
  Window *w = FromHandle(window);
  return w && !(w->style & WS_DISABLED);
}

bool AcceptsInput(HWND window) {
  Window *w = FromHandle(window);
  return w && user32::IsEnabledChain(w);
}

HWND FocusWindow() { return user32::Focus() ? ToHandle(user32::Focus()) : nullptr; }

int CheckStateOf(HWND button) {
  Window *w = FromHandle(button);
  return w ? w->check : BST_UNCHECKED;
}

bool IsDefaultButton(HWND button) {
  Window *w = FromHandle(button);
  return w && w->kind == Kind::kButton && (w->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
}

size_t TextLimitOf(HWND edit) {
  Window *w = FromHandle(edit);
  return w ? w->limit : 0;
}

size_t CaretOf(HWND edit) {
  Window *w = FromHandle(edit);
  return w ? w->sel_end : 0;
}

std::vector<std::string> ItemsOf(HWND control) {
  Window *w = FromHandle(control);
  return w ? w->items : std::vector<std::string>();
}

namespace {

// What a list control of another library's class shows, as it reports it.
ListState ReportedListState(Window *control) {
  ListState state;
  if (control->control_data != nullptr) user32::Send(control, kMsgReportListState, 0, reinterpret_cast<LPARAM>(&state));
  return state;
}

}  // namespace

std::vector<int> SelectionOf(HWND control) {
  std::vector<int> result;
  Window *w = FromHandle(control);
  if (w == nullptr) return result;
  switch (w->kind) {
    case Kind::kListBox:
      if (w->style & (LBS_EXTENDEDSEL | LBS_MULTIPLESEL)) {
        for (size_t i = 0; i < w->selected.size(); ++i)
          if (w->selected[i]) result.push_back(static_cast<int>(i));
      } else if (w->current >= 0) {
        result.push_back(w->current);
      }
      break;
    case Kind::kComboBox:
      if (w->current >= 0) result.push_back(w->current);
      break;
    default:
      return ReportedListState(w).selection;
  }
  return result;
}

int CaretIndexOf(HWND list) {
  Window *w = FromHandle(list);
  if (w == nullptr) return -1;
  return w->control_data != nullptr ? ReportedListState(w).caret : w->caret_index;
}

int TopIndexOf(HWND list) {
  Window *w = FromHandle(list);
  if (w == nullptr) return 0;
  return w->control_data != nullptr ? ReportedListState(w).top : w->top_index;
}

bool IsDroppedDown(HWND combo) {
  Window *w = FromHandle(combo);
  return w && w->dropped;
}

// ---- Input ------------------------------------------------------------------

bool PressKey(UINT virtual_key, bool shift, bool ctrl, bool alt) {
  Window *target = user32::Focus();
  if (target == nullptr) target = FromHandle(ActiveWindow());
  if (target == nullptr || !user32::IsEnabledChain(target)) return false;
  user32::KeyState keys{shift, ctrl, alt};
  bool system = alt || virtual_key == VK_F10;
  user32::PostKey(target, system ? WM_SYSKEYDOWN : WM_KEYDOWN, virtual_key, keys);
  user32::PostKey(target, system ? WM_SYSKEYUP : WM_KEYUP, virtual_key, keys);
  return true;
}

bool TypeChars(const std::string &ansi) {
  Window *target = user32::Focus();
  if (target == nullptr) target = FromHandle(ActiveWindow());
  if (target == nullptr || !user32::IsEnabledChain(target)) return false;
  for (unsigned char c : ansi) user32::PostKey(target, WM_CHAR, c, user32::KeyState());
  return true;
}

bool ClickControl(HWND control) {
  Window *w = FromHandle(control);
  if (w == nullptr || !user32::IsEnabledChain(w)) return false;
  user32::Post(w, WM_LBUTTONDOWN, 0, 0, true);
  user32::Post(w, WM_LBUTTONUP, 0, 0, true);
  return true;
}

bool ClickItem(HWND list, int index, bool shift, bool ctrl) {
  Window *w = FromHandle(list);
  if (w == nullptr || !user32::IsEnabledChain(w)) return false;
  // A list box, or a list control of another library's class.
  if (w->kind != Kind::kListBox && w->control_data == nullptr) return false;
  // For list controls the click carries the item index instead of a position.
  WPARAM keys = (shift ? MK_SHIFT : 0) | (ctrl ? MK_CONTROL : 0);
  user32::Post(w, WM_LBUTTONDOWN, keys, index, true);
  user32::Post(w, WM_LBUTTONUP, keys, index, true);
  return true;
}

bool ReplaceEditText(HWND edit, const std::string &ansi) {
  Window *w = FromHandle(edit);
  if (w == nullptr || w->kind != Kind::kEdit || !user32::IsEnabledChain(w)) return false;
  user32::Post(w, WM_LBUTTONDOWN, 0, 0, true);
  user32::Post(w, user32::kMsgUserReplaceText, 0, 0, true);
  // Typing nothing over a selection deletes it, as Backspace does.
  if (ansi.empty()) user32::Post(w, WM_CHAR, VK_BACK, 0, true);
  for (unsigned char c : ansi) user32::Post(w, WM_CHAR, c, 0, true);
  return true;
}

bool PasteIntoEdit(HWND edit) {
  Window *w = FromHandle(edit);
  if (w == nullptr || w->kind != Kind::kEdit || !user32::IsEnabledChain(w)) return false;
  user32::Post(w, WM_LBUTTONDOWN, 0, 0, true);
  user32::Post(w, user32::kMsgUserReplaceText, 0, 0, true);
  user32::KeyState ctrl{false, true, false};
  user32::PostKey(w, WM_KEYDOWN, 'V', ctrl);
  user32::PostKey(w, WM_KEYUP, 'V', ctrl);
  return true;
}

std::string TypedAnsi(const std::u16string &typed) {
  std::string ansi;
  for (char16_t unit : typed) {
    char bytes[2];
    const int size = WideCharToMultiByte(CP_ACP, 0, &unit, 1, bytes, sizeof bytes, nullptr, nullptr);
    ansi.append(bytes, size > 0 ? static_cast<size_t>(size) : 0);
  }
  return ansi;
}

bool SelectItems(HWND control, const std::vector<int> &indices) {
  Window *w = FromHandle(control);
  if (w == nullptr || !user32::IsEnabledChain(w)) return false;
  if (w->kind != Kind::kListBox && w->kind != Kind::kComboBox && w->control_data == nullptr) return false;
  w->pending_selections.push_back(indices);
  user32::Post(w, user32::kMsgUserSelect, 0, 0, true);
  return true;
}

bool AnswerMessageBox(HWND box, int answer) {
  Window *w = FromHandle(box);
  if (w == nullptr || w->kind != Kind::kMessageBox || w->ended || !user32::IsEnabledChain(w)) return false;
  user32::Post(w, user32::kMsgUserAnswerBox, static_cast<WPARAM>(answer), 0, true);
  return true;
}

bool PressCloseBox(HWND window) {
  Window *w = FromHandle(window);
  if (w == nullptr || w->parent != nullptr || !(w->style & WS_SYSMENU) || !user32::IsEnabledChain(w)) return false;
  user32::Post(w, WM_SYSCOMMAND, SC_CLOSE, 0, true);
  return true;
}

LRESULT DeliverMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return user32::Send(FromHandle(window), message, wparam, lparam);
}

}  // namespace standin
