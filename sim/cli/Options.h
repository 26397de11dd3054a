#pragma once
// The command line of `ostrel-sim`.
#include <optional>
#include <string>
#include <vector>

#include "sim/Config.h"

namespace sim::cli {

struct Options {
    ProjectorConfig projector;  // the first projector; the others differ in their serial
    int count = 1;
    std::string socketPath;  // empty: the default path of the socket bus
    double clockSpeed = 1.0;
    bool help = false;
};

// Parses the arguments after the program name. Nothing, with a message in `error`, for
// an unknown option, a missing value or a value out of range.
std::optional<Options> ParseOptions(const std::vector<std::string>& arguments, std::string& error);

// The configuration of projector `index` (from 0) of `options`: projectors after the
// first get "-2", "-3", ... after their serial so that each can be told apart.
ProjectorConfig ProjectorAt(const Options& options, int index);

// One line about a projector's identity, for the start of the run.
std::string Describe(const ProjectorConfig& config);

const char* UsageText();

}  // namespace sim::cli
