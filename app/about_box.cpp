// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/about_box.h"

#include "res/resource.h"

INT_PTR CALLBACK AboutBoxProc(HWND dialog, UINT message, WPARAM wparam, LPARAM /*lparam*/) {
  switch (message) {
    case WM_INITDIALOG:
      SetFocus(GetDlgItem(dialog, IDC_ABOUT_OK));
      return 0;
    case WM_COMMAND:
      if (wparam == IDCANCEL || wparam == IDC_ABOUT_OK) {
        EndDialog(dialog, 1);
        return 1;
      }
      return 0;
    case WM_KEYDOWN:
      if (wparam == VK_ESCAPE) {
        EndDialog(dialog, 1);
        return 1;
      }
      return 0;
    default:
      return 0;
  }
}
