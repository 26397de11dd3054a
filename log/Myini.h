#pragma once
// The process log: an INI file with one section per flash job, recording which file went
// to which projector and the job's latest status line. Nothing reads it back.
#include <cstdint>
#include <optional>
#include <string>

namespace processlog {

// What a job's section records when it starts (the captions of the window's lines).
struct JobDescription {
    std::string file;                     // full path of the chosen file
    std::string device;                   // the projector's description line
    std::string deviceRelease;            // the release line
    std::string deviceVersion;            // the version line
    std::string deviceLife;               // the unit life line
    std::optional<uint32_t> fileRelease;  // the image's packed release; firmware jobs only
};

// The name of the current job's section; empty before the first job.
extern std::string LogSection;

// Where the log goes: the executable's path with ".LOG" when its folder is writable,
// otherwise the same file name in the user's state folder ($XDG_STATE_HOME/ostrel, else
// ~/.local/state/ostrel), created when needed.
std::string ProcessLogPath();

// Opens a new section named after the current local time and writes the job's keys.
// Returns false, after telling the user once, when the log cannot be written: the job
// itself goes on, only its record is missing.
bool StartProcessLog(const JobDescription& job);

// Replaces the current section's "Process status" with `text`. Failures are reported by
// StartProcessLog's message already and are not repeated for every status line.
bool WriteProcessStatus(const std::string& text);

}  // namespace processlog
