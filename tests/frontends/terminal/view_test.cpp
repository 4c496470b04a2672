// SPDX-License-Identifier: GPL-3.0-or-later
// The pieces under the windows: text measuring and wrapping, the canvas, message boxes and the help text. What the
// windows make of them is played by the driver tests and the end-to-end cases.
#include "canvas.h"
#include "help_viewer.h"
#include "message_box.h"
#include "text_width.h"

#include <standin/text.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

namespace terminal {
namespace {

}  // namespace
}  // namespace terminal
