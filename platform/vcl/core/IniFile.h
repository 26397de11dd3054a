#pragma once
// INI files: sections of "key=value" lines. Reading keeps sections and keys in the order
// they stand in the file; look-ups ignore case and surrounding blanks; values come back
// trimmed. Writing replaces a key's line in place and keeps every other line (comments,
// blank lines, unknown lines) as it was. The file is opened and closed for each call.
#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vcl {

// Raised when an INI file cannot be written.
class EIniFileException : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The parsed text of one INI file. Works on bytes only, so that it can be fed anything.
//
// Lines: "[name]" starts a section (text after the closing bracket is ignored); "key=value"
// is an entry of the current section; lines starting with ';' or '#', blank lines and lines
// without '=' are kept but carry no entry. Entries before the first section belong to no
// section and cannot be read. A section that appears twice is read from its first
// occurrence only; a key that appears twice in a section reads as its first occurrence.
class IniDocument {
  public:
    static IniDocument Parse(std::string_view bytes);

    // The trimmed value of `key` in `section`, if the key is there.
    std::optional<std::string> Value(std::string_view section, std::string_view key) const;
    // Key names of the section, trimmed, in file order (duplicates included).
    std::vector<std::string> Keys(std::string_view section) const;
    // Section names, trimmed, in file order (a repeated name once).
    std::vector<std::string> Sections() const;
    bool HasSection(std::string_view section) const;

    // Sets `key` in `section`: replaces the first line of that key in place, or adds the
    // key at the end of the section, or adds the section at the end of the document.
    // The key and the value are written as given (blanks included); a line break inside
    // either is written as a blank so that every entry stays on one line.
    void Set(std::string_view section, std::string_view key, std::string_view value);

    // The document as bytes, with the line ending the parsed text used ("\n" by default)
    // and its byte order mark, if it had one.
    std::string Serialize() const;

  private:
    struct Line {
        std::string text;
        enum class Kind { Other, Section, Entry } kind = Kind::Other;
        std::string name;   // trimmed section name or key
        std::string value;  // trimmed value of an entry
    };
    // [first, last) line indexes of the section's body (after its header); npos if absent.
    std::pair<size_t, size_t> SectionBody(std::string_view section) const;
    static Line ParseLine(std::string text);

    std::vector<Line> lines_;
    std::string lineEnd_ = "\n";
    bool byteOrderMark_ = false;
};

// An INI file on disk, in the manner of the form library's INI class.
class TIniFile {
  public:
    explicit TIniFile(std::string fileName);

    const std::string& FileName() const { return fileName_; }

    // A missing file reads as an empty document.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    std::vector<std::string> ReadSection(std::string_view section) const;
    std::vector<std::string> ReadSections() const;
    bool SectionExists(std::string_view section) const;

    // Creates the file on first write. Throws EIniFileException when it cannot be written.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);

  private:
    IniDocument Load() const;

    std::string fileName_;
};

}  // namespace vcl
