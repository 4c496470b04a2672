// SPDX-License-Identifier: GPL-3.0-or-later
// Which top-level window is active, and the WM_ACTIVATE messages that a
// change of it sends. The focus follows from what each window's procedure
// does with WM_ACTIVATE: the default window procedure takes the focus to the
// window itself, the dialog default procedure saves and restores the
// control that had it.
#include "window.h"

#include <algorithm>
#include <vector>

namespace standin {
namespace user32 {
namespace {

Window *g_active = nullptr;
std::vector<Window *> g_history;  // windows in the order they were activated, latest last

bool CanBeActive(Window *window) {
  return window != nullptr && window->alive && window->parent == nullptr && !(window->style & WS_DISABLED) &&
         !window->ended;
}

}  // namespace

Window *ActiveTop() { return g_active != nullptr && g_active->alive ? g_active : nullptr; }

void Activate(Window *window) {
  Window *old = ActiveTop();
  if (old == window) return;
  g_active = window;
  auto &h = g_history;
  h.erase(std::remove(h.begin(), h.end(), window), h.end());
  if (window != nullptr) h.push_back(window);
  if (old != nullptr)
    Send(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(window ? ToHandle(window) : nullptr));
  if (window != nullptr && g_active == window)
    Send(window, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 0), reinterpret_cast<LPARAM>(old ? ToHandle(old) : nullptr));
  // No window is active: nothing has the keyboard focus.
  if (window == nullptr && Focus() != nullptr) MoveFocus(nullptr);
}

void ActivateNext(Window *leaving) {
  auto &h = g_history;
  h.erase(std::remove(h.begin(), h.end(), leaving), h.end());
  if (ActiveTop() != nullptr && ActiveTop() != leaving) return;
  if (g_active == leaving) g_active = nullptr;
  Window *next = nullptr;
  if (CanBeActive(leaving->owner)) {
    next = leaving->owner;
  } else {
    for (auto it = h.rbegin(); it != h.rend() && next == nullptr; ++it)
      if (CanBeActive(*it) && ((*it)->style & WS_VISIBLE)) next = *it;
  }
  if (next != nullptr) {
    Activate(next);
    return;
  }
  // Nothing takes the activation: the focus leaves the window that goes.
  Window *focus = Focus();
  if (focus != nullptr && TopLevelOf(focus) == leaving) MoveFocus(nullptr);
}

void ResetActivation() {
  g_active = nullptr;
  g_history.clear();
}

}  // namespace user32
}  // namespace standin
