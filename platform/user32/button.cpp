// SPDX-License-Identifier: GPL-3.0-or-later
// The BUTTON class: push buttons, check boxes, radio buttons, group boxes.
#include "window.h"

namespace standin {
namespace user32 {
namespace {

DWORD TypeOf(const Window *button) { return button->style & BS_TYPEMASK; }

bool IsRadio(const Window *button) {
  DWORD type = TypeOf(button);
  return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}

// An automatic radio button that is clicked clears the other radio buttons
// of its group (from the WS_GROUP control before it to the next one).
void ClearRestOfGroup(Window *button) {
  Window *dialog = button->parent;
  if (dialog == nullptr) return;
  auto &children = dialog->children;
  size_t index = 0;
  while (index < children.size() && children[index] != button) ++index;
  if (index == children.size()) return;
  size_t first = index;
  while (first > 0 && !(children[first]->style & WS_GROUP)) --first;
  for (size_t i = first; i < children.size(); ++i) {
    if (i > first && (children[i]->style & WS_GROUP)) break;
    Window *other = children[i];
    if (other != button && other->kind == Kind::kButton && IsRadio(other)) Send(other, BM_SETCHECK, BST_UNCHECKED, 0);
  }
}

}  // namespace

bool IsAutoRadio(const Window *window) {
  return window != nullptr && window->kind == Kind::kButton && TypeOf(window) == BS_AUTORADIOBUTTON;
}

void ClickButton(Window *button) {
  switch (TypeOf(button)) {
    case BS_GROUPBOX:
      return;  // a frame, not a button
    case BS_AUTOCHECKBOX:
      button->check = button->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
      break;
    case BS_AUTO3STATE:
      button->check = (button->check + 1) % 3;
      break;
    case BS_AUTORADIOBUTTON:
      // Through BM_SETCHECK, which moves the group's tab stop too.
      Send(button, BM_SETCHECK, BST_CHECKED, 0);
      ClearRestOfGroup(button);
      break;
    default:
      break;
  }
  NotifyParent(button, BN_CLICKED);
}

void NotifyParent(Window *control, WORD code) {
  if (control->parent == nullptr) return;
  Send(control->parent, WM_COMMAND, MAKEWPARAM(control->id, code), reinterpret_cast<LPARAM>(ToHandle(control)));
}

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  Window *button = FromHandle(hwnd);
  if (button == nullptr) return 0;
  DWORD type = TypeOf(button);
  switch (message) {
    case WM_GETDLGCODE:
      if (type == BS_GROUPBOX) return DLGC_STATIC;
      if (type == BS_DEFPUSHBUTTON) return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
      if (type == BS_PUSHBUTTON) return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
      if (IsRadio(button)) return DLGC_BUTTON | DLGC_RADIOBUTTON;
      return DLGC_BUTTON;
    case BM_GETCHECK:
      return button->check;
    case BM_SETCHECK:
      if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || type == BS_GROUPBOX) return 0;
      button->check = static_cast<int>(wparam) == BST_CHECKED         ? BST_CHECKED
                      : static_cast<int>(wparam) == BST_INDETERMINATE ? BST_INDETERMINATE
                                                                      : BST_UNCHECKED;
      // The checked radio of a group is its tab stop: Tab reaches the group
      // there, and an unchecked radio is no tab stop.
      if (IsRadio(button)) {
        if (button->check == BST_CHECKED)
          button->style |= WS_TABSTOP;
        else
          button->style &= ~static_cast<DWORD>(WS_TABSTOP);
      }
      return 0;
    case BM_GETSTATE:
      return button->check | (button->pushed ? 0x0004 : 0) | (Focus() == button ? 0x0008 : 0);
    case BM_SETSTATE:
      button->pushed = wparam != 0;
      return 0;
    case BM_SETSTYLE:
      button->style = (button->style & ~static_cast<DWORD>(BS_TYPEMASK)) | (static_cast<DWORD>(wparam) & BS_TYPEMASK);
      return 0;
    case BM_CLICK:
      if (!IsEnabledChain(button) || type == BS_GROUPBOX) return 0;
      Send(button, WM_LBUTTONDOWN, 0, 0);
      Send(button, WM_LBUTTONUP, 0, 0);
      return 0;
    case WM_LBUTTONDOWN:
      if (type == BS_GROUPBOX) return 0;
      MoveFocus(button);
      button->pushed = true;
      return 0;
    case WM_LBUTTONUP:
      if (!button->pushed) return 0;
      button->pushed = false;
      ClickButton(button);
      return 0;
    case WM_KEYDOWN:
      if (wparam == VK_SPACE && type != BS_GROUPBOX) button->pushed = true;
      return 0;
    case WM_KEYUP:
      if (wparam == VK_SPACE && button->pushed) {
        button->pushed = false;
        ClickButton(button);
      }
      return 0;
    case WM_KILLFOCUS:
      button->pushed = false;
      return 0;
    default:
      return DefWindowProcA(hwnd, message, wparam, lparam);
  }
}

LRESULT CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_GETDLGCODE) return DLGC_STATIC;
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

}  // namespace user32
}  // namespace standin
