#include "platform/vcl/Strings.h"

#include <stdexcept>

namespace vcl {

int TStrings::Add(const std::string& line) {
    const int index = Count();
    Insert(index, line);
    return index;
}

std::string TStrings::Text() const {
    std::string text;
    for (int i = 0; i < Count(); ++i) {
        text += Strings(i);
        text += '\n';
    }
    return text;
}

void TStrings::SetText(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            line += c;
        }
    }
    if (!line.empty()) {
        lines.push_back(line);
    }
    Assign(lines);
}

std::vector<std::string> TStrings::Lines() const {
    std::vector<std::string> lines;
    for (int i = 0; i < Count(); ++i) {
        lines.push_back(Strings(i));
    }
    return lines;
}

void TStrings::Assign(const std::vector<std::string>& lines) {
    Clear();
    for (const auto& line : lines) {
        Add(line);
    }
}

void TStringList::Insert(int index, const std::string& line) {
    if (index < 0 || index > Count()) {
        throw std::out_of_range("List index out of bounds");
    }
    lines_.insert(lines_.begin() + index, line);
}

void TStringList::Delete(int index) {
    if (index < 0 || index >= Count()) {
        throw std::out_of_range("List index out of bounds");
    }
    lines_.erase(lines_.begin() + index);
}

}  // namespace vcl
