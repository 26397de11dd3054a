#pragma once
// Date and time of day as the form library formats them.
#include <cstdint>
#include <string>

namespace vcl {

// A local date and time, broken down.
struct TDateTime {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// Linux has no per-user separators of the Windows kind; these are the fixed ones.
constexpr char TimeSeparator = ':';
constexpr char DateSeparator = '/';

// The current local time, from the platform clock (tests may run it fast).
TDateTime Now();
// Seconds since the epoch as local time.
TDateTime DateTimeFromUnix(int64_t seconds);

// Formats with the form library's specifiers:
//   y yy (two-digit year)  yyy yyyy (four digits)
//   m mm (month; minutes right after an hour)  mmm mmmm (month name)
//   d dd (day)  ddd dddd (weekday name)
//   h hh (hour; 12-hour clock when the format holds AM/PM, am/pm, A/P, a/p or AMPM)
//   n nn (minutes)  s ss (seconds)  z zzz (milliseconds)
//   AM/PM am/pm A/P a/p (the marker in the case written)  AMPM (AM or PM)
//   :  the time separator   /  the date separator   "..." '...'  literal text
// Any other character is copied.
std::string FormatDateTime(const std::string& format, const TDateTime& when);

}  // namespace vcl
