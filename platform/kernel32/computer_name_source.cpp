// SPDX-License-Identifier: GPL-3.0-or-later
#include <standin/computer_name.h>

namespace standin {
namespace {

// Constant-initialised, so a registration made while other files are still
// being initialised is never overwritten.
ComputerNameSource g_source = nullptr;

}  // namespace

void SetComputerNameSource(ComputerNameSource source) { g_source = source; }

std::string SourcedComputerName() { return g_source != nullptr ? g_source() : std::string(); }

}  // namespace standin
