#pragma once
// What one virtual projector does, as the lines the simulator prints: each command it
// receives with its key arguments, and each attach, detach and mode change.
//
// A 4 MB write is some 75000 blocks: of a run of WriteFlashBlock commands only the
// first block, every kBlockLineEvery-th and the last are printed. The last is known
// when the written bytes reach the size of the flash range, or when the run ends with
// any other command or a detach.
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "sim/Config.h"
#include "sim/Model.h"

namespace sim::cli {

class ActivityLog {
  public:
    static constexpr uint64_t kBlockLineEvery = 64;
    using Sink = std::function<void(const std::string& line)>;

    // `name` starts every line ("#1"); `sink` receives whole lines, one at a time.
    ActivityLog(std::string name, Sink sink);

    void Command(const LoggedCommand& command);
    void Attach(Mode mode, bool attached);
    // Prints the last block of a run that has not been shown yet (at exit).
    void Finish();

  private:
    void Block(const LoggedCommand& command);
    void EndBlockRun();
    void Print(const std::string& text);

    std::mutex mutex_;
    std::string name_;
    Sink sink_;
    uint32_t address_ = 0;      // the last SetAddress
    uint32_t rangeSize_ = 0;    // the last SetSize
    uint64_t blocks_ = 0;       // blocks since the last SetAddress or SetSize
    uint64_t bytes_ = 0;        // their bytes
    std::string unshownBlock_;  // the line of the latest block, when it was not printed
    std::optional<Mode> mode_;  // the mode of the last attach
};

}  // namespace sim::cli
