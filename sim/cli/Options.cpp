#include "sim/cli/Options.h"

#include <charconv>
#include <cstdio>
#include <functional>

namespace sim::cli {
namespace {

constexpr size_t kMaxStringLength = 126;  // a USB string descriptor's UTF-16 units
constexpr int kMaxCount = 16;
constexpr double kMaxClockSpeed = 10000.0;

// Parses all of `text` as a number in `base`; a "0x" prefix is allowed in base 16.
template <typename T>
std::optional<T> Number(std::string_view text, int base) {
    if (base == 16 && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
    }
    T value{};
    const auto [end, code] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || code != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> Decimal(const std::string& text) {
    double value = 0;
    const auto [end, code] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || code != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

bool PrintableAscii(const std::string& text) {
    for (const char c : text) {
        if (c < 0x20 || c > 0x7E) {
            return false;
        }
    }
    return true;
}

// "YYYY-MM-DD" with an optional revision letter: 2007-03-01C is revision 2.
std::optional<std::array<uint8_t, 4>> Release(const std::string& text) {
    if (text.size() != 10 && text.size() != 11) {
        return std::nullopt;
    }
    if (text[4] != '-' || text[7] != '-') {
        return std::nullopt;
    }
    const auto year = Number<int>(std::string_view(text).substr(0, 4), 10);
    const auto month = Number<int>(std::string_view(text).substr(5, 2), 10);
    const auto day = Number<int>(std::string_view(text).substr(8, 2), 10);
    const char revision = text.size() == 11 ? text[10] : 'A';
    if (!year || !month || !day || *year < 2000 || *year > 2255 || *month < 1 || *month > 12 ||
        *day < 1 || *day > 31 || revision < 'A' || revision > 'Z') {
        return std::nullopt;
    }
    return std::array<uint8_t, 4>{static_cast<uint8_t>(*year - 2000), static_cast<uint8_t>(*month),
                                  static_cast<uint8_t>(*day), static_cast<uint8_t>(revision - 'A')};
}

bool Resolution(const std::string& text, Information& information) {
    const size_t x = text.find_first_of("xX");
    if (x == std::string::npos) {
        return false;
    }
    const auto width = Number<uint16_t>(std::string_view(text).substr(0, x), 10);
    const auto height = Number<uint16_t>(std::string_view(text).substr(x + 1), 10);
    if (!width || !height || *width == 0 || *height == 0) {
        return false;
    }
    information.width = *width;
    information.height = *height;
    return true;
}

using Setter = std::function<bool(const std::string& value, Options& options)>;

bool SetString(std::string& field, const std::string& value) {
    if (value.size() > kMaxStringLength || !PrintableAscii(value)) {
        return false;
    }
    field = value;
    return true;
}

struct OptionRule {
    const char* name;
    Setter set;  // empty for the flag --help
};

const std::vector<OptionRule>& Rules() {
    static const std::vector<OptionRule> rules = {
        {"--model",
         [](const std::string& v, Options& o) {
             const auto id = Number<uint16_t>(v, 16);
             return id && (o.projector.identity.productId = *id, true);
         }},
        {"--product",
         [](const std::string& v, Options& o) {
             const auto id = Number<uint16_t>(v, 16);
             return id && (o.projector.identity.productId = *id, true);
         }},
        {"--chip",
         [](const std::string& v, Options& o) {
             const auto chip = Number<uint16_t>(v, 16);
             if (!chip || !GeometryOf(*chip)) {
                 return false;
             }
             o.projector.flash.chip = *chip;
             return true;
         }},
        {"--manufacturer",
         [](const std::string& v, Options& o) {
             return SetString(o.projector.identity.manufacturer, v);
         }},
        {"--product-string", [](const std::string& v,
                                Options& o) { return SetString(o.projector.identity.product, v); }},
        {"--serial", [](const std::string& v,
                        Options& o) { return SetString(o.projector.identity.serial, v); }},
        {"--logo-address",
         [](const std::string& v, Options& o) {
             const auto address = Number<uint32_t>(v, 16);
             return address && (o.projector.information.logoAddress = *address, true);
         }},
        {"--resolution",
         [](const std::string& v, Options& o) { return Resolution(v, o.projector.information); }},
        {"--release",
         [](const std::string& v, Options& o) {
             const auto release = Release(v);
             return release && (o.projector.information.release = *release, true);
         }},
        {"--start-mode",
         [](const std::string& v, Options& o) {
             if (v == "normal" || v == "application") {
                 o.projector.startMode = Mode::Application;
             } else if (v == "ostrel" || v == "bootloader") {
                 o.projector.startMode = Mode::Bootloader;
             } else {
                 return false;
             }
             return true;
         }},
        {"--count",
         [](const std::string& v, Options& o) {
             const auto count = Number<int>(v, 10);
             return count && *count >= 1 && *count <= kMaxCount && (o.count = *count, true);
         }},
        {"--socket",
         [](const std::string& v, Options& o) { return !v.empty() && (o.socketPath = v, true); }},
        {"--restart-ms",
         [](const std::string& v, Options& o) {
             const auto ms = Number<uint32_t>(v, 10);
             return ms && *ms <= 600000 && (o.projector.timing.restartMs = *ms, true);
         }},
        {"--fast",
         [](const std::string& v, Options& o) {
             const auto speed = Decimal(v);
             return speed && *speed >= 1.0 && *speed <= kMaxClockSpeed &&
                    (o.clockSpeed = *speed, true);
         }},
        {"--help", {}},
    };
    return rules;
}

const OptionRule* FindRule(const std::string& name) {
    for (const OptionRule& rule : Rules()) {
        if (name == rule.name) {
            return &rule;
        }
    }
    return nullptr;
}

}  // namespace

std::optional<Options> ParseOptions(const std::vector<std::string>& arguments, std::string& error) {
    Options options;
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        std::optional<std::string> value;
        if (const size_t equals = name.find('=');
            name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        if (name == "-h") {
            name = "--help";
        }
        const OptionRule* rule = FindRule(name);
        if (rule == nullptr) {
            error = "unknown option: " + arguments[i];
            return std::nullopt;
        }
        if (!rule->set) {
            options.help = true;
            continue;
        }
        if (!value) {
            if (i + 1 >= arguments.size()) {
                error = name + " needs a value";
                return std::nullopt;
            }
            value = arguments[++i];
        }
        if (!rule->set(*value, options)) {
            error = "bad value for " + name + ": " + *value;
            return std::nullopt;
        }
    }
    return options;
}

ProjectorConfig ProjectorAt(const Options& options, int index) {
    ProjectorConfig config = options.projector;
    if (index > 0) {
        config.identity.serial += "-" + std::to_string(index + 1);
    }
    return config;
}

std::string Describe(const ProjectorConfig& config) {
    const auto& id = config.identity;
    const auto& info = config.information;
    char text[320];
    std::snprintf(text, sizeof text,
                  "%04X:%04X \"%s\" \"%s\" serial \"%s\", flash chip %04X, release "
                  "%04d-%02d-%02d%c, logo address 0x%08X, %ux%u, starts in %s mode",
                  id.vendorId, id.productId, id.manufacturer.c_str(), id.product.c_str(),
                  id.serial.c_str(), config.flash.chip, 2000 + info.release[0], info.release[1],
                  info.release[2], 'A' + std::min<int>(info.release[3], 25), info.logoAddress,
                  info.width, info.height, ModeName(config.startMode));
    return text;
}

const char* UsageText() {
    return R"(Usage: ostrel-sim [options]

Serves virtual projectors on this user's simulator socket, where Ostrel and
OstrelProbe find them as if they were plugged in over USB. Prints one line per
command each projector receives and per attach, detach and mode change.
Stop it with Ctrl+C (or SIGTERM): the projectors leave the bus first.

Options (numbers in hexadecimal unless said otherwise):
  --model ID, --product ID   USB product id (default 5010; 7616 is the model
                             whose flash window starts at 0xFD000000)
  --chip CODE                flash chip: 2249 (2 MB), 22a8 or 2016 (4 MB); default 2249
  --manufacturer TEXT        manufacturer string (default "Virtual Optics")
  --product-string TEXT      product string (default "Virtual Projector")
  --serial TEXT              serial string (default "SIM-000001"); further
                             projectors get "-2", "-3", ... appended
  --logo-address ADDR        processor address of the splash logo (default FE380000)
  --resolution WxH           display resolution, decimal (default 1024x768)
  --release YYYY-MM-DD[R]    firmware release date and revision letter
                             (default 2007-03-01C)
  --start-mode normal|ostrel the mode the projectors start in (default normal)
  --count N                  number of projectors, decimal 1..16 (default 1)
  --socket PATH              socket path (default: $OSTREL_SIM_SOCKET, else
                             $XDG_RUNTIME_DIR/ostrel-sim.sock, else
                             /tmp/ostrel-sim-<uid>.sock)
  --restart-ms MS            time off the bus when switching modes, decimal
                             milliseconds (default 1500)
  --fast N                   run the clock N times faster (for tests), decimal
  -h, --help                 show this text
)";
}

}  // namespace sim::cli
