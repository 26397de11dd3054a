#include "platform/vcl/core/Paths.h"

#include <sys/stat.h>

#include <filesystem>
#include <mutex>

namespace vcl {
namespace {

std::mutex seamMutex;
std::string executableOverride;

// Index where the file name part begins.
size_t NameStart(std::string_view path) {
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? 0 : slash + 1;
}

// Index of the extension's dot within `path`, or npos.
size_t ExtensionStart(std::string_view path) {
    const size_t name = NameStart(path);
    const size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || dot < name) {
        return std::string_view::npos;
    }
    return dot;
}

}  // namespace

std::string ExecutablePath() {
    {
        std::lock_guard lock(seamMutex);
        if (!executableOverride.empty()) {
            return executableOverride;
        }
    }
    std::error_code error;
    const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}

void SetExecutablePathForTesting(std::string path) {
    std::lock_guard lock(seamMutex);
    executableOverride = std::move(path);
}

std::string ChangeFileExt(std::string_view path, std::string_view extension) {
    const size_t dot = ExtensionStart(path);
    std::string result(path.substr(0, dot));
    result += extension;
    return result;
}

std::string ExtractFileDir(std::string_view path) {
    const size_t name = NameStart(path);
    if (name == 0) {
        return {};
    }
    if (name == 1) {
        return "/";
    }
    return std::string(path.substr(0, name - 1));
}

std::string ExtractFileName(std::string_view path) {
    return std::string(path.substr(NameStart(path)));
}

std::string ExtractFileNameWithoutExt(std::string_view path) {
    return ExtractFileName(ChangeFileExt(path, ""));
}

std::string ExtractFileExt(std::string_view path) {
    const size_t dot = ExtensionStart(path);
    return dot == std::string_view::npos ? std::string() : std::string(path.substr(dot));
}

bool FileExists(std::string_view path) {
    struct stat info {};
    const std::string name(path);
    return ::stat(name.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::vector<std::string> ConfigFileCandidates(std::string_view extension) {
    const std::string beside = ChangeFileExt(ExecutablePath(), extension);
    const std::string name = ExtractFileName(beside);
    const std::string prefix = ExtractFileDir(ExtractFileDir(beside));
    std::vector<std::string> candidates{beside};
    // The system prefix keeps its configuration in /etc, as the file hierarchy has it.
    const bool systemPrefix = prefix == "/" || prefix == "/usr";
    const std::string installed = (systemPrefix ? std::string() : prefix) + "/etc/ostrel/" + name;
    if (installed != "/etc/ostrel/" + name) {
        candidates.push_back(installed);
    }
    candidates.push_back("/etc/ostrel/" + name);
    return candidates;
}

std::string ConfigFilePath(std::string_view extension) {
    const std::vector<std::string> candidates = ConfigFileCandidates(extension);
    for (const std::string& candidate : candidates) {
        if (FileExists(candidate)) {
            return candidate;
        }
    }
    return candidates.front();
}

}  // namespace vcl
