#include "platform/vcl/core/DateTime.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "platform/clock/Clock.h"

namespace vcl {
namespace {

const char* const kShortMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kLongMonths[] = {"January",   "February", "March",    "April",
                                   "May",       "June",     "July",     "August",
                                   "September", "October",  "November", "December"};
const char* const kShortDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kLongDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                 "Thursday", "Friday", "Saturday"};

bool StartsWithNoCase(const std::string& text, size_t at, const char* word) {
    for (size_t i = 0; word[i] != '\0'; ++i) {
        if (at + i >= text.size() ||
            std::toupper(static_cast<unsigned char>(text[at + i])) != word[i]) {
            return false;
        }
    }
    return true;
}

// The length of the AM/PM marker at `at` (AM/PM, A/P or AMPM), or 0.
size_t MarkerLength(const std::string& format, size_t at) {
    if (StartsWithNoCase(format, at, "AM/PM")) {
        return 5;
    }
    if (StartsWithNoCase(format, at, "A/P")) {
        return 3;
    }
    if (StartsWithNoCase(format, at, "AMPM")) {
        return 4;
    }
    return 0;
}

bool UsesTwelveHourClock(const std::string& format) {
    char quote = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (quote != 0) {
            quote = c == quote ? 0 : quote;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (MarkerLength(format, i) != 0) {
            return true;
        }
    }
    return false;
}

std::string Number(int value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*d", digits, value);
    return text;
}

int Weekday(const TDateTime& when) {
    using namespace std::chrono;
    const year_month_day date{year{when.year}, month{static_cast<unsigned>(when.month)},
                              day{static_cast<unsigned>(when.day)}};
    return static_cast<int>(weekday{sys_days{date}}.c_encoding());
}

size_t RunLength(const std::string& format, size_t at) {
    const int letter = std::toupper(static_cast<unsigned char>(format[at]));
    size_t end = at;
    while (end < format.size() && std::toupper(static_cast<unsigned char>(format[end])) == letter) {
        ++end;
    }
    return end - at;
}

}  // namespace

TDateTime DateTimeFromUnix(int64_t seconds) {
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&time, &local);
    return TDateTime{local.tm_year + 1900,
                     local.tm_mon + 1,
                     local.tm_mday,
                     local.tm_hour,
                     local.tm_min,
                     local.tm_sec,
                     0};
}

TDateTime Now() {
    return DateTimeFromUnix(plat::NowSeconds());
}

std::string FormatDateTime(const std::string& format, const TDateTime& when) {
    const bool twelveHour = UsesTwelveHourClock(format);
    std::string out;
    char lastToken = ' ';
    size_t i = 0;
    while (i < format.size()) {
        const char c = format[i];
        if (c == '"' || c == '\'') {
            const size_t close = format.find(c, i + 1);
            const size_t end = close == std::string::npos ? format.size() : close;
            out += format.substr(i + 1, end - i - 1);
            i = end + 1;
            continue;
        }
        char token = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (std::isalpha(static_cast<unsigned char>(c)) != 0) {
            // "m" right after an hour means minutes.
            if (token == 'M' && lastToken == 'H') {
                token = 'N';
            }
            lastToken = token;
        }
        const size_t run =
            std::isalpha(static_cast<unsigned char>(c)) != 0 ? RunLength(format, i) : 1;
        switch (token) {
            case 'Y':
                out += run <= 2 ? Number(when.year % 100, 2) : Number(when.year, 4);
                break;
            case 'M':
                if (run <= 2) {
                    out += Number(when.month, static_cast<int>(run));
                } else {
                    out += run == 3 ? kShortMonths[when.month - 1] : kLongMonths[when.month - 1];
                }
                break;
            case 'N':
                out += Number(when.minute, run >= 2 ? 2 : 1);
                break;
            case 'D':
                if (run <= 2) {
                    out += Number(when.day, static_cast<int>(run));
                } else {
                    out += run == 3 ? kShortDays[Weekday(when)] : kLongDays[Weekday(when)];
                }
                break;
            case 'H': {
                int hour = when.hour;
                if (twelveHour) {
                    hour %= 12;
                    hour = hour == 0 ? 12 : hour;
                }
                out += Number(hour, run >= 2 ? 2 : 1);
                break;
            }
            case 'S':
                out += Number(when.second, run >= 2 ? 2 : 1);
                break;
            case 'Z':
                out += Number(when.millisecond, run >= 3 ? 3 : 1);
                break;
            case 'A': {
                const size_t marker = MarkerLength(format, i);
                const bool pm = when.hour >= 12;
                if (marker == 5) {
                    out += format.substr(i + (pm ? 3 : 0), 2);
                } else if (marker == 3) {
                    out += format.substr(i + (pm ? 2 : 0), 1);
                } else if (marker == 4) {
                    out += pm ? "PM" : "AM";
                } else {
                    out += c;
                }
                i += marker != 0 ? marker : 1;
                continue;
            }
            case ':':
                out += TimeSeparator;
                break;
            case '/':
                out += DateSeparator;
                break;
            default:
                out += format.substr(i, run);
                break;
        }
        i += run;
    }
    return out;
}

}  // namespace vcl
