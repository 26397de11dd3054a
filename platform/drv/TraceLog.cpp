#include "platform/drv/TraceLog.h"

#include <syslog.h>

namespace drv {

void TraceLog::Add(std::string line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.pop_back();
    }
    syslog(LOG_DEBUG, "%s", line.c_str());
    std::lock_guard lock(mutex_);
    if (lines_.size() == kCapacity) {
        lines_.pop_front();
    }
    lines_.push_back(std::move(line));
}

std::vector<std::string> TraceLog::Lines() const {
    std::lock_guard lock(mutex_);
    return {lines_.begin(), lines_.end()};
}

void TraceLog::Clear() {
    std::lock_guard lock(mutex_);
    lines_.clear();
}

}  // namespace drv
