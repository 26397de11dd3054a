#pragma once
// The driver's debug log: the trace lines programs send with DrvDebugAdd. The last
// lines stay in memory for tests; every line also goes to the system log at debug
// priority, where a developer can follow a real session.
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace drv {

class TraceLog {
  public:
    static constexpr size_t kCapacity = 1000;

    void Add(std::string line);
    std::vector<std::string> Lines() const;
    void Clear();

  private:
    mutable std::mutex mutex_;
    std::deque<std::string> lines_;
};

}  // namespace drv
