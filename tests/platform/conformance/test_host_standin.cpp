// SPDX-License-Identifier: GPL-3.0-or-later
// The suite on the stand-in: templates from the embedded .res, and the
// stand-in's own reset between cases.
#include "test_host.h"

#include <commctrl.h>

#include <standin/ui.h>

extern "C" const unsigned char conformance_res[];
extern "C" const unsigned long conformance_res_size;

namespace conformance {

HINSTANCE TestModule() {
  static HINSTANCE module = standin::LoadModule(conformance_res, conformance_res_size);
  return module;
}

void ResetUserInterface() {
  standin::ResetUserInterface();
  InitCommonControls();
}

bool RunsOnWine() { return false; }

}  // namespace conformance
