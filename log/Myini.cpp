#include "log/Myini.h"

#include <unistd.h>

#include <cstdlib>
#include <exception>
#include <filesystem>
#include <system_error>

#include "app/firmware/FirmwareImage.h"
#include "platform/vcl/core/DateTime.h"
#include "platform/vcl/core/IniFile.h"
#include "platform/vcl/core/MessageBox.h"
#include "platform/vcl/core/Paths.h"

namespace processlog {

std::string LogSection;

namespace {

constexpr const char* kStatusKey = "Process status";
constexpr const char* kSectionFormat = "yyyy-mm-dd hh:mm:ss AM/PM";

// Whether the current job's log could be written; a failing log is reported once a job.
bool logWritable = true;

bool FolderIsWritable(const std::string& folder) {
    return !folder.empty() && ::access(folder.c_str(), W_OK) == 0;
}

std::string StateFolder() {
    if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && *state != 0) {
        return std::string(state) + "/ostrel";
    }
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.local/state/ostrel";
}

void WriteKeys(vcl::TIniFile& log, const JobDescription& job) {
    log.WriteString(LogSection, "File", job.file);
    log.WriteString(LogSection, "Device        ", job.device);
    log.WriteString(LogSection, "DeviceRelease ", job.deviceRelease);
    log.WriteString(LogSection, "DeviceVersion ", job.deviceVersion);
    log.WriteString(LogSection, "DeviceLife    ", job.deviceLife);
    if (job.fileRelease) {
        log.WriteString(LogSection, "FileRelease   ", firmware::FormatRelease(*job.fileRelease));
    }
    log.WriteString(LogSection, kStatusKey, "");
}

}  // namespace

std::string ProcessLogPath() {
    const std::string beside = vcl::ChangeFileExt(vcl::ExecutablePath(), ".LOG");
    if (FolderIsWritable(vcl::ExtractFileDir(beside))) {
        return beside;
    }
    const std::string folder = StateFolder();
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    return folder + "/" + vcl::ExtractFileName(beside);
}

bool StartProcessLog(const JobDescription& job) {
    LogSection = vcl::FormatDateTime(kSectionFormat, vcl::Now());
    vcl::TIniFile log(ProcessLogPath());
    try {
        WriteKeys(log, job);
        logWritable = true;
    } catch (const std::exception&) {
        logWritable = false;
        vcl::MessageBox("The process log " + log.FileName() +
                            " cannot be written.\nThe job goes on without its record.",
                        "Process log");
    }
    return logWritable;
}

bool WriteProcessStatus(const std::string& text) {
    if (!logWritable || LogSection.empty()) {
        return false;
    }
    try {
        vcl::TIniFile(ProcessLogPath()).WriteString(LogSection, kStatusKey, text);
        return true;
    } catch (const std::exception&) {
        logWritable = false;
        return false;
    }
}

}  // namespace processlog
