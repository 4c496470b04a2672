// SPDX-License-Identifier: GPL-3.0-or-later
// What differs between the implementations the suite runs on: where the test
// templates come from, how a case's windows are swept away, and whether the
// platform is Wine. One source file for each (test_host_standin.cpp,
// test_host_windows.cpp).
#ifndef VELMORA_TESTS_PLATFORM_CONFORMANCE_TEST_HOST_H
#define VELMORA_TESTS_PLATFORM_CONFORMANCE_TEST_HOST_H

#include <windows.h>

namespace conformance {

// The module whose resources hold the test templates (conformance.rc).
HINSTANCE TestModule();
// Every window of the thread destroyed, its queue emptied, no key held down,
// the common controls registered.
void ResetUserInterface();
bool RunsOnWine();
// The simulated network the NETAPI32 calls reach, from the text of a network
// file; bound at the first call of a run, later calls keep that network.
// False (with a line on standard error) when it cannot be bound.
bool BindNetwork(const char *network_text);

}  // namespace conformance

#endif
