// SPDX-License-Identifier: GPL-3.0-or-later
#include <standin/text.h>

#include <gtest/gtest.h>

namespace {

}  // namespace
