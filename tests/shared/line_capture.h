// Collects the library's diagnostic lines while alive (in-process code
// only; the real DLL writes its own to the debugger output).
#pragma once

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "platform/platform.h"

class LineCapture {
  public:
    LineCapture() {
        Clear();
        platform::SetLineSinkForTest(&Sink);
    }
    ~LineCapture() { platform::SetLineSinkForTest(nullptr); }
    static std::vector<std::string> Lines() {
        std::lock_guard<std::mutex> hold(mutex_);
        return lines_;
    }
    static bool Contains(const std::string& line) {
        const auto lines = Lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    static void Clear() {
        std::lock_guard<std::mutex> hold(mutex_);
        lines_.clear();
    }

  private:
    static void Sink(const char* text) {
        std::lock_guard<std::mutex> hold(mutex_);
        lines_.push_back(text);
    }
    static inline std::mutex mutex_;
    static inline std::vector<std::string> lines_;
};
