#include <gtest/gtest.h>

#include "platform/vcl/core/DateTime.h"

namespace vcl {
namespace {

struct FormatCase {
    const char* name;
    const char* format;
    TDateTime when;
    const char* expected;
};

const char* const kLogPattern = "yyyy-mm-dd hh:mm:ss AM/PM";

const FormatCase kCases[] = {
    {"Midnight is 12 AM", kLogPattern, {2007, 3, 1, 0, 5, 9, 0}, "2007-03-01 12:05:09 AM"},
    {"Noon is 12 PM", kLogPattern, {2007, 3, 1, 12, 0, 0, 0}, "2007-03-01 12:00:00 PM"},
    {"One in the afternoon", kLogPattern, {2024, 12, 31, 13, 59, 58, 0}, "2024-12-31 01:59:58 PM"},
    {"Last minute before noon", kLogPattern, {2024, 1, 2, 11, 59, 59, 0}, "2024-01-02 11:59:59 AM"},
    {"Without a marker the hour is 24-hour", "hh:nn:ss", {2024, 1, 2, 13, 4, 5, 0}, "13:04:05"},
    {"m after an hour is minutes, elsewhere month",
     "m/d/yy h:m",
     {2009, 7, 4, 9, 8, 0, 0},
     "7/4/09 9:8"},
    {"Lower-case marker keeps its case", "h:mm am/pm", {2024, 1, 2, 23, 15, 0, 0}, "11:15 pm"},
    {"Short marker", "hh A/P", {2024, 1, 2, 0, 0, 0, 0}, "12 A"},
    {"Names of month and weekday",
     "dddd d mmmm, ddd mmm",
     {2024, 2, 29, 0, 0, 0, 0},
     "Thursday 29 February, Thu Feb"},
    {"Quoted text is copied", "\"at\" hh 'h'", {2024, 1, 2, 7, 0, 0, 0}, "at 07 h"},
    {"Milliseconds", "ss.zzz", {2024, 1, 2, 7, 0, 3, 45}, "03.045"},
};

TEST(FormatDateTime, FormatsEachPattern) {
    for (const FormatCase& c : kCases) {
        EXPECT_EQ(FormatDateTime(c.format, c.when), c.expected) << c.name;
    }
}

}  // namespace
}  // namespace vcl
