// SPDX-License-Identifier: GPL-3.0-or-later
// What differs between the implementations the suite runs on, one source
// file for each (test_host_standin.cpp, test_host_windows.cpp).
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
// The simulated network the NETAPI32 calls reach, from a network file's text,
// bound by the run's first call; false (said on standard error) when it fails.
bool BindNetwork(const char *network_text);

}  // namespace conformance

#endif
