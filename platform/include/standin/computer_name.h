// SPDX-License-Identifier: GPL-3.0-or-later
// Where the stand-in's GetComputerNameA finds the local computer's name. The
// simulated network knows it and registers itself here when it is linked in,
// so that KERNEL32, below the network, never refers to it.
#ifndef VELMORA_PLATFORM_INCLUDE_STANDIN_COMPUTER_NAME_H
#define VELMORA_PLATFORM_INCLUDE_STANDIN_COMPUTER_NAME_H

#include <string>

namespace standin {

// Returns the local computer's name in UTF-8; "" when it has none.
using ComputerNameSource = std::string (*)();

// Without a source GetComputerNameA reports no name, as for a network
// without computers.
void SetComputerNameSource(ComputerNameSource source);
std::string SourcedComputerName();

}  // namespace standin

#endif
