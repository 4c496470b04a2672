// SPDX-License-Identifier: GPL-3.0-or-later
// A person's input, given as the platform gives it: keys through SendInput
// to the window with the focus; mouse clicks as button-down and button-up
// messages posted to the window that the platform finds at the point
// (WindowFromPoint and WM_NCHITTEST). The real controls and dialog manager
// decide what the input does.
#ifndef VELMORA_FRONTENDS_SCENARIO_WINE_USER_INPUT_H
#define VELMORA_FRONTENDS_SCENARIO_WINE_USER_INPUT_H

#include <windows.h>

#include <string>

namespace wine_player {

// A left click at a point of the screen, optionally with Ctrl held.
void ClickAt(POINT screen, bool with_control = false);
// A left click in the middle of a window's visible rectangle; false (and no
// click) when another window stays in front of it.
bool ClickWindow(HWND window, bool with_control = false);
// A point in a window's client area, in screen coordinates.
POINT ClientToScreenPoint(HWND window, int x, int y);
// A key pressed and released with the given modifiers (VK_MENU, VK_CONTROL,
// VK_SHIFT) held.
void PressKey(WORD key, WORD modifier = 0, WORD second_modifier = 0);
// Characters typed one by one, as a keyboard with an input method gives them.
void TypeCharacters(const std::wstring &text);

}  // namespace wine_player

#endif
