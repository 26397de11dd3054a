#include "platform/vcl/core/IniFile.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

namespace vcl {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string Trim(std::string_view text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && IsBlank(text[first])) {
        ++first;
    }
    while (last > first && IsBlank(text[last - 1])) {
        --last;
    }
    return std::string(text.substr(first, last - first));
}

bool SameName(std::string_view a, std::string_view b) {
    const std::string left = Trim(a);
    const std::string right = Trim(b);
    return std::equal(left.begin(), left.end(), right.begin(), right.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

std::string OneLine(std::string_view text) {
    std::string line(text);
    std::replace(line.begin(), line.end(), '\r', ' ');
    std::replace(line.begin(), line.end(), '\n', ' ');
    return line;
}

}  // namespace

IniDocument::Line IniDocument::ParseLine(std::string text) {
    Line line;
    line.text = std::move(text);
    const std::string trimmed = Trim(line.text);
    if (trimmed.empty() || trimmed[0] == ';' || trimmed[0] == '#') {
        return line;
    }
    if (trimmed[0] == '[') {
        const size_t close = trimmed.find(']');
        if (close != std::string::npos) {
            line.kind = Line::Kind::Section;
            line.name = Trim(std::string_view(trimmed).substr(1, close - 1));
        }
        return line;
    }
    const size_t equals = trimmed.find('=');
    if (equals != std::string::npos) {
        line.kind = Line::Kind::Entry;
        line.name = Trim(std::string_view(trimmed).substr(0, equals));
        line.value = Trim(std::string_view(trimmed).substr(equals + 1));
    }
    return line;
}

IniDocument IniDocument::Parse(std::string_view bytes) {
    IniDocument document;
    // A UTF-8 byte order mark is not part of the first line; it is written back as it was.
    if (bytes.substr(0, 3) == kByteOrderMark) {
        bytes.remove_prefix(3);
        document.byteOrderMark_ = true;
    }
    const size_t firstBreak = bytes.find('\n');
    if (firstBreak != std::string_view::npos && firstBreak > 0 && bytes[firstBreak - 1] == '\r') {
        document.lineEnd_ = "\r\n";
    }
    while (!bytes.empty()) {
        const size_t end = bytes.find('\n');
        std::string_view text = bytes.substr(0, end);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        if (!text.empty() && text.back() == '\r') {
            text.remove_suffix(1);
        }
        document.lines_.push_back(ParseLine(std::string(text)));
    }
    return document;
}

std::pair<size_t, size_t> IniDocument::SectionBody(std::string_view section) const {
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind == Line::Kind::Section && SameName(lines_[i].name, section)) {
            size_t end = i + 1;
            while (end < lines_.size() && lines_[end].kind != Line::Kind::Section) {
                ++end;
            }
            return {i + 1, end};
        }
    }
    return {std::string::npos, std::string::npos};
}

std::optional<std::string> IniDocument::Value(std::string_view section,
                                              std::string_view key) const {
    const auto [first, last] = SectionBody(section);
    for (size_t i = first; first != std::string::npos && i < last; ++i) {
        if (lines_[i].kind == Line::Kind::Entry && SameName(lines_[i].name, key)) {
            return lines_[i].value;
        }
    }
    return std::nullopt;
}

std::vector<std::string> IniDocument::Keys(std::string_view section) const {
    std::vector<std::string> keys;
    const auto [first, last] = SectionBody(section);
    for (size_t i = first; first != std::string::npos && i < last; ++i) {
        if (lines_[i].kind == Line::Kind::Entry) {
            keys.push_back(lines_[i].name);
        }
    }
    return keys;
}

std::vector<std::string> IniDocument::Sections() const {
    std::vector<std::string> names;
    for (const Line& line : lines_) {
        if (line.kind != Line::Kind::Section) {
            continue;
        }
        const bool seen = std::any_of(names.begin(), names.end(),
                                      [&](const std::string& n) { return SameName(n, line.name); });
        if (!seen) {
            names.push_back(line.name);
        }
    }
    return names;
}

bool IniDocument::HasSection(std::string_view section) const {
    return SectionBody(section).first != std::string::npos;
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
    const std::string text = OneLine(key) + "=" + OneLine(value);
    auto [first, last] = SectionBody(section);
    if (first == std::string::npos) {
        if (!lines_.empty() && !Trim(lines_.back().text).empty()) {
            lines_.push_back(ParseLine(""));
        }
        lines_.push_back(ParseLine("[" + OneLine(section) + "]"));
        lines_.push_back(ParseLine(text));
        return;
    }
    for (size_t i = first; i < last; ++i) {
        if (lines_[i].kind == Line::Kind::Entry && SameName(lines_[i].name, key)) {
            lines_[i] = ParseLine(text);
            return;
        }
    }
    // New keys go after the section's last entry, before the blank lines that separate it
    // from the next section.
    size_t at = last;
    while (at > first && Trim(lines_[at - 1].text).empty()) {
        --at;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), ParseLine(text));
}

std::string IniDocument::Serialize() const {
    std::string bytes = byteOrderMark_ ? std::string(kByteOrderMark) : std::string();
    for (const Line& line : lines_) {
        bytes += line.text;
        bytes += lineEnd_;
    }
    return bytes;
}

TIniFile::TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}

IniDocument TIniFile::Load() const {
    std::ifstream in(fileName_, std::ios::binary);
    if (!in) {
        return IniDocument{};
    }
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return IniDocument::Parse(bytes);
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view defaultValue) const {
    return Load().Value(section, key).value_or(std::string(defaultValue));
}

std::vector<std::string> TIniFile::ReadSection(std::string_view section) const {
    return Load().Keys(section);
}

std::vector<std::string> TIniFile::ReadSections() const {
    return Load().Sections();
}

bool TIniFile::SectionExists(std::string_view section) const {
    return Load().HasSection(section);
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    IniDocument document = Load();
    document.Set(section, key, value);
    const std::string bytes = document.Serialize();
    // The new text goes to a scratch file beside the old one and replaces it in one rename,
    // so a crash or a full disk never leaves a half-written file in its place.
    // A file the user may not write stays as it is, as it would with an in-place write.
    if (::access(fileName_.c_str(), F_OK) == 0 && ::access(fileName_.c_str(), W_OK) != 0) {
        throw EIniFileException("Unable to write to " + fileName_);
    }
    const std::string scratch = fileName_ + ".new";
    std::ofstream out(scratch, std::ios::binary | std::ios::trunc);
    if (out) {
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
    }
    if (!out || std::rename(scratch.c_str(), fileName_.c_str()) != 0) {
        std::remove(scratch.c_str());
        throw EIniFileException("Unable to write to " + fileName_);
    }
}

}  // namespace vcl
