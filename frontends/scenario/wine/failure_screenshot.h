// SPDX-License-Identifier: GPL-3.0-or-later
// Evidence of a failed scenario: PNG pictures of the screen and of the
// program's windows as they were when the scenario failed, written to the
// folder VELMORA_SCREENSHOTS names (scripts/test-wine.sh sets it).
#ifndef VELMORA_FRONTENDS_SCENARIO_WINE_FAILURE_SCREENSHOT_H
#define VELMORA_FRONTENDS_SCENARIO_WINE_FAILURE_SCREENSHOT_H

#include <windows.h>

#include <string>
#include <vector>

namespace wine_player {

// Names the pictures of the scenario file about to be played after it.
void NameScreenshots(const std::wstring &scenario_path);

// Saves the screen and each of `windows`; returns what the failure line adds
// to name the screen's picture (" [screen: PATH]"), or why none was saved;
// empty when no folder is named.
std::string SaveFailureScreenshots(const std::vector<HWND> &windows, int line);

}  // namespace wine_player

#endif
