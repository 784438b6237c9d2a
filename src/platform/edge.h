// Where the library's code meets a caller that must never see an exception:
// the six exports, a thread's entry, a window procedure, a step of the start
// or stop. A failure stops at the edge, one line says which edge it was, and
// the edge returns its failure value.
#pragma once

#include "platform/platform.h"

namespace platform {

inline void ReportContained(const char* edge) noexcept {
    try {
        DebugLine("Failure contained:");
        DebugLine(edge);
    } catch (...) {
    }
}

template <typename Result, typename Body>
Result Contain(const char* edge, Result failure, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        ReportContained(edge);
        return failure;
    }
}

template <typename Body>
void Contain(const char* edge, Body&& body) noexcept {
    try {
        body();
    } catch (...) {
        ReportContained(edge);
    }
}

}  // namespace platform
