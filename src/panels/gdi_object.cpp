#include "panels/gdi_object.h"

#include <atomic>

namespace gdi {
namespace {
std::atomic<long> g_live{0};
}

long LiveObjects() { return g_live.load(); }

namespace detail {
void CountCreated() { ++g_live; }
void CountDeleted() { --g_live; }
}  // namespace detail

}  // namespace gdi
