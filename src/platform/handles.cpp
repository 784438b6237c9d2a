#include "platform/handles.h"

#include <atomic>

namespace handles {
namespace {
std::atomic<long> g_liveGdi{0};
}

long LiveGdiObjects() { return g_liveGdi.load(); }

namespace detail {
void CountGdiTaken() { ++g_liveGdi; }
void CountGdiGiven() { --g_liveGdi; }
}  // namespace detail

}  // namespace handles
