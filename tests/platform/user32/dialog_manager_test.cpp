// SPDX-License-Identifier: GPL-3.0-or-later
// The dialog templates and message boxes, as the platform documents them.
// (The dialog manager's keys are cases of the conformance suite,
// tests/platform/conformance, played on Wine too.)
#include "user32_test_support.h"

namespace {

TEST_F(DialogTest, TemplatesNamingUnavailableClassesFail) {
  EXPECT_EQ(CreateDialogParamA(instance_, "DLG_NO_CLASS", nullptr, RecordingDialogProc, 0), nullptr);
  EXPECT_EQ(DialogBoxParamA(instance_, "DLG_NO_CLASS", dialog_, RecordingDialogProc, 0), -1);
  standin::ResetUserInterface();  // forgets InitCommonControls
  instance_ = standin::LoadModule(user32_test_res, user32_test_res_size);
  EXPECT_EQ(CreateDialogParamA(instance_, "DLG_CONTROLS", nullptr, RecordingDialogProc, 0), nullptr);
  INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES};
  EXPECT_TRUE(InitCommonControlsEx(&icc));
  EXPECT_NE(CreateDialogParamA(instance_, "DLG_CONTROLS", nullptr, RecordingDialogProc, 0), nullptr);
}

// (A box and a modal dialog disabling their owner, and the owner's focus
// coming back, are played by the runner's dialog_and_box, on_disabled_window
// and on_owner_of_a_dialog.) With no driver to answer it, as in the
// program's benchmark, a box returns its default button.
TEST_F(DialogTest, AMessageBoxWithoutADriverAnswersWithItsDefaultButton) {
  EXPECT_EQ(MessageBoxA(dialog_, "q", "c", MB_YESNO | MB_DEFBUTTON2), IDNO);
  EXPECT_EQ(MessageBoxA(dialog_, "q", "c", MB_YESNO), IDYES);
}

}  // namespace
