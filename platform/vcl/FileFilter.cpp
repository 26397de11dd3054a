#include "platform/vcl/FileFilter.h"

namespace vcl {
namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : text) {
        if (c == separator) {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(part);
    return parts;
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

}  // namespace

std::vector<FileFilter> ParseFileFilter(const std::string& filter) {
    std::vector<FileFilter> entries;
    if (filter.empty()) {
        return entries;
    }
    const std::vector<std::string> fields = Split(filter, '|');
    for (size_t i = 0; i + 1 < fields.size(); i += 2) {
        FileFilter entry;
        for (const std::string& pattern : Split(fields[i + 1], ';')) {
            const std::string trimmed = Trim(pattern);
            if (!trimmed.empty()) {
                entry.patterns.push_back(trimmed);
            }
        }
        if (entry.patterns.empty()) {
            continue;
        }
        entry.name = Trim(fields[i]);
        if (entry.name.empty()) {
            entry.name = Trim(fields[i + 1]);
        }
        entries.push_back(entry);
    }
    return entries;
}

std::string QtNameFilter(const FileFilter& entry) {
    std::string patterns;
    for (const std::string& pattern : entry.patterns) {
        if (!patterns.empty()) {
            patterns += ' ';
        }
        patterns += pattern;
    }
    return entry.name + " (" + patterns + ")";
}

}  // namespace vcl
