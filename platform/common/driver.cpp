#include <standin/driver.h>

namespace standin {
namespace {
Driver *g_driver = nullptr;
}

void SetDriver(Driver *driver) { g_driver = driver; }
Driver *CurrentDriver() { return g_driver; }

}  // namespace standin
