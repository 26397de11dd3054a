#pragma once
// File-type filters written the form library's way: "Name|*.ext|Name|*.a;*.b".
#include <string>
#include <vector>

namespace vcl {

struct FileFilter {
    std::string name;
    std::vector<std::string> patterns;
    bool operator==(const FileFilter&) const = default;
};

// Splits a filter string into its entries. A name without patterns at the end is
// dropped; blanks around patterns are ignored; an entry without a name is named after
// its patterns.
std::vector<FileFilter> ParseFileFilter(const std::string& filter);

// One entry as a Qt name filter: "Name (*.a *.b)".
std::string QtNameFilter(const FileFilter& entry);

}  // namespace vcl
