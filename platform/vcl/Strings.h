#pragma once
// TStrings: a list of lines (a memo's Lines); TStringList: the same held in memory.
#include <string>
#include <vector>

namespace vcl {

class TStrings {
  public:
    virtual ~TStrings() = default;

    virtual int Count() const = 0;
    virtual std::string Strings(int index) const = 0;
    virtual void Put(int index, const std::string& line) = 0;
    virtual void Insert(int index, const std::string& line) = 0;
    virtual void Delete(int index) = 0;
    virtual void Clear() = 0;

    std::string operator[](int index) const { return Strings(index); }
    int Add(const std::string& line);
    // Every line followed by a line break.
    std::string Text() const;
    // Replaces the lines by those of `text` (split at "\n", "\r\n" or "\r").
    void SetText(const std::string& text);
    std::vector<std::string> Lines() const;
    void Assign(const std::vector<std::string>& lines);
};

class TStringList : public TStrings {
  public:
    int Count() const override { return static_cast<int>(lines_.size()); }
    std::string Strings(int index) const override { return lines_.at(index); }
    void Put(int index, const std::string& line) override { lines_.at(index) = line; }
    void Insert(int index, const std::string& line) override;
    void Delete(int index) override;
    void Clear() override { lines_.clear(); }

  private:
    std::vector<std::string> lines_;
};

}  // namespace vcl
