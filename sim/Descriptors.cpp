#include "sim/Descriptors.h"

namespace sim {
namespace {

constexpr uint8_t kDescriptorDevice = 1;
constexpr uint8_t kDescriptorConfiguration = 2;
constexpr uint8_t kDescriptorString = 3;
constexpr uint8_t kDescriptorInterface = 4;
constexpr uint8_t kDescriptorEndpoint = 5;

constexpr uint8_t kRequestGetStatus = 0x00;
constexpr uint8_t kRequestGetDescriptor = 0x06;
constexpr uint8_t kRequestGetConfiguration = 0x08;
constexpr uint8_t kRequestSetConfiguration = 0x09;
constexpr uint8_t kRequestGetInterface = 0x0A;
constexpr uint8_t kRequestSetInterface = 0x0B;

constexpr uint8_t kConfigurationValue = 1;
constexpr uint16_t kMaxPacket = 64;

void Put16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

std::vector<uint8_t> DeviceDescriptor(const Identity& identity, Mode mode) {
    const bool bootloader = mode == Mode::Bootloader;
    const uint16_t product = bootloader && identity.bootloaderProductId
                                 ? *identity.bootloaderProductId
                                 : identity.productId;
    std::vector<uint8_t> d = {18, kDescriptorDevice};
    Put16(d, 0x0200);                                                         // bcdUSB
    d.insert(d.end(), {0x00, 0x00, 0x00, static_cast<uint8_t>(kMaxPacket)});  // class per interface
    Put16(d, identity.vendorId);
    Put16(d, product);
    Put16(d, bootloader ? 0x0001 : 0x0100);  // bcdDevice: each personality its own release
    d.push_back(1);                          // iManufacturer
    d.push_back(2);                          // iProduct
    d.push_back(bootloader ? kSerialIndexBootloader : kSerialIndexApplication);
    d.push_back(1);  // bNumConfigurations
    return d;
}

void AppendCommandInterface(std::vector<uint8_t>& out) {
    out.insert(out.end(), {9, kDescriptorInterface, kCommandInterface, 0, 2, 0xFF, 0, 0, 0});
    for (uint8_t endpoint : {kBulkOut, kBulkIn}) {
        out.insert(out.end(), {7, kDescriptorEndpoint, endpoint, 0x02});  // bulk
        Put16(out, kMaxPacket);
        out.push_back(0);
    }
}

void AppendSecondInterface(std::vector<uint8_t>& out) {
    out.insert(out.end(), {9, kDescriptorInterface, 1, 0, 0, 0xFF, 0, 0, 0});
}

std::vector<uint8_t> InterfaceOrder(InterfaceLayout layout) {
    switch (layout) {
        case InterfaceLayout::Interface0:
            return {0};
        case InterfaceLayout::Interface0Then1:
            return {0, 1};
        case InterfaceLayout::Interface1Then0:
            return {1, 0};
    }
    return {0};
}

std::vector<uint8_t> ConfigurationDescriptor(const std::vector<uint8_t>& interfaces) {
    std::vector<uint8_t> body;
    for (uint8_t number : interfaces) {
        if (number == kCommandInterface) {
            AppendCommandInterface(body);
        } else {
            AppendSecondInterface(body);
        }
    }
    std::vector<uint8_t> c = {9, kDescriptorConfiguration};
    Put16(c, static_cast<uint16_t>(9 + body.size()));
    c.push_back(static_cast<uint8_t>(interfaces.size()));
    c.insert(c.end(), {kConfigurationValue, 0, 0xC0, 50});  // self-powered, 100 mA
    c.insert(c.end(), body.begin(), body.end());
    return c;
}

// Decodes one code point of UTF-8; malformed bytes read as U+FFFD.
char32_t NextCodePoint(std::string_view text, size_t& i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i++);
    if (lead < 0x80) {
        return lead;
    }
    int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
    if (extra < 0 || i + static_cast<size_t>(extra) > text.size()) {
        return 0xFFFD;
    }
    char32_t cp = lead & (0x3F >> extra);
    for (int k = 0; k < extra; ++k) {
        if ((byte(i) & 0xC0) != 0x80) {
            return 0xFFFD;
        }
        cp = (cp << 6) | (byte(i++) & 0x3F);
    }
    return cp;
}

}  // namespace

std::vector<uint8_t> StringDescriptor(std::string_view utf8) {
    std::vector<uint16_t> units;
    for (size_t i = 0; i < utf8.size();) {
        char32_t cp = NextCodePoint(utf8, i);
        if (cp > 0x10FFFF) {
            cp = 0xFFFD;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            units.push_back(static_cast<uint16_t>(0xD800 | (cp >> 10)));
            units.push_back(static_cast<uint16_t>(0xDC00 | (cp & 0x3FF)));
        } else {
            units.push_back(static_cast<uint16_t>(cp));
        }
    }
    // bLength is one byte: at most 126 code units after the 2-byte header.
    constexpr size_t kMaxUnits = (255 - 2) / 2;
    if (units.size() > kMaxUnits) {
        units.resize(kMaxUnits);
        if ((units.back() & 0xFC00) == 0xD800) {
            units.pop_back();  // never leave half a surrogate pair
        }
    }
    std::vector<uint8_t> d = {static_cast<uint8_t>(2 + 2 * units.size()), kDescriptorString};
    for (uint16_t unit : units) {
        Put16(d, unit);
    }
    return d;
}

UsbDescriptors BuildDescriptors(const Identity& identity, Mode mode) {
    UsbDescriptors descriptors;
    descriptors.device = DeviceDescriptor(identity, mode);
    descriptors.interfaces = InterfaceOrder(mode == Mode::Bootloader ? identity.bootloaderLayout
                                                                     : identity.applicationLayout);
    descriptors.configuration = ConfigurationDescriptor(descriptors.interfaces);
    descriptors.strings = {
        {4, kDescriptorString, 0x09, 0x04},  // one language: US English
        StringDescriptor(identity.manufacturer),
        StringDescriptor(identity.product),
        StringDescriptor(identity.serial),
    };
    return descriptors;
}

std::optional<std::vector<uint8_t>> AnswerControlRequest(const UsbDescriptors& descriptors,
                                                         std::span<const uint8_t, 8> setup) {
    const uint8_t requestType = setup[0];
    const uint8_t request = setup[1];
    const uint8_t valueLow = setup[2];
    const uint8_t valueHigh = setup[3];
    const uint16_t length = static_cast<uint16_t>(setup[6] | (setup[7] << 8));

    auto cut = [length](std::vector<uint8_t> bytes) {
        if (bytes.size() > length) {
            bytes.resize(length);
        }
        return bytes;
    };

    if (requestType == 0x80 && request == kRequestGetDescriptor) {
        switch (valueHigh) {
            case kDescriptorDevice:
                return cut(descriptors.device);
            case kDescriptorConfiguration:
                if (valueLow != 0) {
                    return std::nullopt;
                }
                return cut(descriptors.configuration);
            case kDescriptorString:
                if (valueLow >= descriptors.strings.size()) {
                    return std::nullopt;
                }
                return cut(descriptors.strings[valueLow]);
            default:
                return std::nullopt;
        }
    }
    if (requestType == 0x80 && request == kRequestGetStatus) {
        return cut({0x01, 0x00});  // self-powered
    }
    if (requestType == 0x80 && request == kRequestGetConfiguration) {
        return cut({kConfigurationValue});
    }
    if (requestType == 0x81 && request == kRequestGetInterface) {
        return cut({0});
    }
    if (requestType == 0x00 && request == kRequestSetConfiguration &&
        (valueLow == kConfigurationValue || valueLow == 0)) {
        return std::vector<uint8_t>{};
    }
    if (requestType == 0x01 && request == kRequestSetInterface && valueLow == 0) {
        return std::vector<uint8_t>{};
    }
    return std::nullopt;
}

}  // namespace sim
