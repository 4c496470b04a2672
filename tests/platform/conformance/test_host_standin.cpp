// SPDX-License-Identifier: GPL-3.0-or-later
// The suite on the stand-in: templates from the embedded .res.
#include "test_host.h"

#include <commctrl.h>

#include <standin/network.h>
#include <standin/ui.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

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

bool BindNetwork(const char *network_text) {
  static const bool bound = [network_text] {
    char path[] = "/tmp/velmora-conformance-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return false;
    const std::string text = network_text;
    const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    close(fd);
    // The network reads its file again at each call: it stays for the run.
    static const std::string removal = path;
    std::atexit([] {
      std::remove(removal.c_str());
      std::remove((removal + ".lock").c_str());
    });
    const std::string error = written ? standin::OpenNetworkFile(path) : "cannot write " + std::string(path);
    if (!error.empty()) std::fprintf(stderr, "%s\n", error.c_str());
    return error.empty();
  }();
  return bound;
}

}  // namespace conformance
