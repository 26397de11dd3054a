#include "platform/drv/LibusbBus.h"

#include <sys/time.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <set>
#include <utility>

#include "platform/drv/DriverCore.h"
#include "platform/drv/LibusbDevice.h"

namespace drv {
namespace {

// How long one round of libusb's event handling may block: the longest Stop() waits.
constexpr suseconds_t kEventWaitUs = 100000;
// The bus's own descriptor reads at arrival (real ms).
constexpr unsigned int kDescriptorTimeoutMs = 5000;

std::string DeviceName(libusb_device* device, const libusb_device_descriptor& descriptor) {
    std::array<char, 64> text{};
    std::snprintf(text.data(), text.size(), "bus %03u address %03u, %04x:%04x",
                  libusb_get_bus_number(device), libusb_get_device_address(device),
                  descriptor.idVendor, descriptor.idProduct);
    return text.data();
}

// The 18 bytes as the device sent them; libusb keeps the fields in host order.
std::vector<uint8_t> DeviceDescriptorBytes(const libusb_device_descriptor& d) {
    const auto low = [](uint16_t v) { return static_cast<uint8_t>(v & 0xFF); };
    const auto high = [](uint16_t v) { return static_cast<uint8_t>(v >> 8); };
    return {d.bLength,        d.bDescriptorType,   low(d.bcdUSB),     high(d.bcdUSB),
            d.bDeviceClass,   d.bDeviceSubClass,   d.bDeviceProtocol, d.bMaxPacketSize0,
            low(d.idVendor),  high(d.idVendor),    low(d.idProduct),  high(d.idProduct),
            low(d.bcdDevice), high(d.bcdDevice),   d.iManufacturer,   d.iProduct,
            d.iSerialNumber,  d.bNumConfigurations};
}

std::map<uint8_t, LibusbEndpoint> EndpointsOf(const libusb_config_descriptor& configuration) {
    std::map<uint8_t, LibusbEndpoint> endpoints;
    for (int i = 0; i < configuration.bNumInterfaces; ++i) {
        const libusb_interface& interface = configuration.interface[i];
        for (int a = 0; a < interface.num_altsetting; ++a) {
            const libusb_interface_descriptor& setting = interface.altsetting[a];
            for (int e = 0; e < setting.bNumEndpoints; ++e) {
                const libusb_endpoint_descriptor& endpoint = setting.endpoint[e];
                endpoints[endpoint.bEndpointAddress] = {
                    setting.bInterfaceNumber,
                    static_cast<uint8_t>(endpoint.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK)};
            }
        }
    }
    return endpoints;
}

// The index of the active configuration among the device's configurations.
int ActiveConfigurationIndex(libusb_device* device, uint8_t numConfigurations, uint8_t value) {
    for (uint8_t i = 0; i < numConfigurations; ++i) {
        libusb_config_descriptor* configuration = nullptr;
        if (libusb_get_config_descriptor(device, i, &configuration) == LIBUSB_SUCCESS) {
            const bool active = configuration->bConfigurationValue == value;
            libusb_free_config_descriptor(configuration);
            if (active) {
                return i;
            }
        }
    }
    return 0;
}

// The active configuration descriptor as the device returns it: its first 9 bytes
// give the total length, then the whole of it.
int ReadConfiguration(libusb_device_handle* handle, int index, std::vector<uint8_t>& raw) {
    std::array<uint8_t, LIBUSB_DT_CONFIG_SIZE> head{};
    int result = libusb_get_descriptor(handle, LIBUSB_DT_CONFIG, static_cast<uint8_t>(index),
                                       head.data(), static_cast<int>(head.size()));
    if (result < 0) {
        return result;
    }
    if (result < LIBUSB_DT_CONFIG_SIZE || head[1] != LIBUSB_DT_CONFIG) {
        return LIBUSB_ERROR_IO;
    }
    raw.assign(static_cast<size_t>(head[2] | (head[3] << 8)), 0);
    result = libusb_control_transfer(handle, LIBUSB_ENDPOINT_IN, LIBUSB_REQUEST_GET_DESCRIPTOR,
                                     static_cast<uint16_t>((LIBUSB_DT_CONFIG << 8) | index), 0,
                                     raw.data(), static_cast<uint16_t>(raw.size()),
                                     kDescriptorTimeoutMs);
    if (result < 0) {
        return result;
    }
    raw.resize(static_cast<size_t>(result));
    return LIBUSB_SUCCESS;
}

}  // namespace

LibusbBus::LibusbBus(std::vector<uint16_t> vendors, Report report)
    : vendors_(std::move(vendors)), report_(std::move(report)) {}

LibusbBus::~LibusbBus() {
    Stop();
}

std::string LibusbBus::RefusalMessage(const std::string& device, int libusbError) {
    std::string line = "USB: the projector at " + device + " cannot be opened (" +
                       libusb_error_name(libusbError) + ")";
    if (libusbError == LIBUSB_ERROR_ACCESS) {
        line +=
            ": this user has no permission for it. Install the udev rule 70-ostrel.rules "
            "(packaging/ in the sources, <prefix>/lib/udev/rules.d when installed) into "
            "/etc/udev/rules.d, run 'sudo udevadm control --reload-rules', then unplug the "
            "projector and plug it in again (or join the plugdev group and log in again)";
    }
    return line + ".";
}

void LibusbBus::Say(const std::string& line) const {
    if (report_) {
        report_(line);
        return;
    }
    std::fprintf(stderr, "%s\n", line.c_str());
    DriverCore::Instance().Log().Add(line);
}

bool LibusbBus::Wanted(uint16_t vendorId) const {
    if (vendors_.empty()) {
        return true;
    }
    for (uint16_t vendor : vendors_) {
        if (vendor == vendorId) {
            return true;
        }
    }
    return false;
}

size_t LibusbBus::DeviceCount() const {
    std::lock_guard lock(devicesMutex_);
    return present_.size();
}

// ---- Start and stop ----

void LibusbBus::Start(BusListener& listener) {
    if (thread_.joinable()) {
        return;
    }
    listener_ = &listener;
    context_ = LibusbContext::Create();
    available_ = context_ != nullptr;
    if (!context_) {
        DriverCore::Instance().Log().Add("USB: libusb is not available here; no USB devices");
        return;
    }
    stopping_ = false;
    if (libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG) != 0) {
        // Every vendor: the callback filters, so that the list may name several.
        const int result = libusb_hotplug_register_callback(
            context_->get(),
            static_cast<libusb_hotplug_event>(LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED |
                                              LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT),
            LIBUSB_HOTPLUG_ENUMERATE, LIBUSB_HOTPLUG_MATCH_ANY, LIBUSB_HOTPLUG_MATCH_ANY,
            LIBUSB_HOTPLUG_MATCH_ANY, &LibusbBus::HotplugCallback, this, &hotplug_);
        hotplugRegistered_ = result == LIBUSB_SUCCESS;
    }
    thread_ = std::thread([this] { Run(); });
}

void LibusbBus::Stop() {
    if (!thread_.joinable()) {
        listener_ = nullptr;
        return;
    }
    stopping_ = true;
    libusb_interrupt_event_handler(context_->get());
    thread_.join();
    if (hotplugRegistered_) {
        libusb_hotplug_deregister_callback(context_->get(), hotplug_);
        hotplugRegistered_ = false;
    }
    {
        std::lock_guard lock(changesMutex_);
        for (const Change& change : changes_) {
            libusb_unref_device(change.device);
        }
        changes_.clear();
    }
    std::map<libusb_device*, std::shared_ptr<LibusbDevice>> present;
    std::map<libusb_device*, bool> refused;
    {
        std::lock_guard lock(devicesMutex_);
        present.swap(present_);
        refused.swap(refused_);
    }
    for (auto& [device, busDevice] : present) {
        busDevice->MarkGone();
        listener_->Left(busDevice);
        libusb_unref_device(device);
    }
    for (auto& entry : refused) {
        libusb_unref_device(entry.first);
    }
    listener_ = nullptr;
    // Devices the core still holds keep the context until they go.
    context_.reset();
}

// ---- The bus thread ----

int LIBUSB_CALL LibusbBus::HotplugCallback(libusb_context* /*context*/, libusb_device* device,
                                           libusb_hotplug_event event, void* self) {
    static_cast<LibusbBus*>(self)->Queue(event == LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED, device);
    return 0;  // stay registered
}

// libusb calls back from whichever thread handles its events at the time, a transfer's
// among them: the change waits for the bus thread, which alone talks to the core.
void LibusbBus::Queue(bool arrived, libusb_device* device) {
    {
        std::lock_guard lock(changesMutex_);
        changes_.push_back({arrived, libusb_ref_device(device)});
    }
    libusb_interrupt_event_handler(context_->get());
}

void LibusbBus::Run() {
    auto nextPoll = std::chrono::steady_clock::now();
    while (!stopping_) {
        if (!hotplugRegistered_ && std::chrono::steady_clock::now() >= nextPoll) {
            PollDeviceList();
            nextPoll = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPollMs);
        }
        ApplyChanges();
        timeval wait{0, kEventWaitUs};
        libusb_handle_events_timeout_completed(context_->get(), &wait, nullptr);
    }
}

void LibusbBus::ApplyChanges() {
    for (;;) {
        Change change{};
        {
            std::lock_guard lock(changesMutex_);
            if (changes_.empty()) {
                return;
            }
            change = changes_.front();
            changes_.pop_front();
        }
        if (change.arrived) {
            Arrive(change.device);
        } else {
            Leave(change.device);
        }
        libusb_unref_device(change.device);
    }
}

void LibusbBus::PollDeviceList() {
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context_->get(), &list);
    if (count < 0) {
        return;
    }
    std::set<libusb_device*> listed(list, list + count);
    std::vector<libusb_device*> gone;
    {
        std::lock_guard lock(devicesMutex_);
        for (const auto& entry : present_) {
            if (listed.count(entry.first) == 0) {
                gone.push_back(entry.first);
            }
        }
        for (const auto& entry : refused_) {
            if (listed.count(entry.first) == 0) {
                gone.push_back(entry.first);
            }
        }
    }
    for (libusb_device* device : gone) {
        Leave(device);
    }
    for (libusb_device* device : listed) {
        Arrive(device);
    }
    libusb_free_device_list(list, 1);
}

void LibusbBus::Arrive(libusb_device* device) {
    {
        std::lock_guard lock(devicesMutex_);
        if (present_.count(device) != 0 || refused_.count(device) != 0) {
            return;
        }
    }
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(device, &descriptor) != LIBUSB_SUCCESS ||
        !Wanted(descriptor.idVendor)) {
        return;
    }
    const std::string name = DeviceName(device, descriptor);
    const auto refuse = [&](const std::string& line) {
        Say(line);
        std::lock_guard lock(devicesMutex_);
        refused_[libusb_ref_device(device)] = true;
    };

    libusb_device_handle* handle = nullptr;
    int result = libusb_open(device, &handle);
    if (result == LIBUSB_ERROR_NO_DEVICE) {
        // Gone again before it could be opened (a restart in progress): nothing to
        // tell the user; its return is a new arrival.
        DriverCore::Instance().Log().Add("USB: " + name + " left before it was opened");
        return;
    }
    if (result != LIBUSB_SUCCESS) {
        refuse(RefusalMessage(name, result));
        return;
    }
    // Where a kernel driver holds an interface, claiming it detaches that driver and
    // releasing gives it back. Platforms without kernel drivers say "not supported".
    libusb_set_auto_detach_kernel_driver(handle, 1);

    libusb_config_descriptor* configuration = nullptr;
    result = libusb_get_active_config_descriptor(device, &configuration);
    std::vector<uint8_t> raw;
    if (result == LIBUSB_SUCCESS) {
        const int index = ActiveConfigurationIndex(device, descriptor.bNumConfigurations,
                                                   configuration->bConfigurationValue);
        result = ReadConfiguration(handle, index, raw);
    }
    if (result != LIBUSB_SUCCESS) {
        if (configuration != nullptr) {
            libusb_free_config_descriptor(configuration);
        }
        libusb_close(handle);
        refuse("USB: the device at " + name + " gave no configuration descriptor (" +
               libusb_error_name(result) + "); unplug it and plug it in again.");
        return;
    }
    auto busDevice =
        std::make_shared<LibusbDevice>(context_, handle, DeviceDescriptorBytes(descriptor),
                                       std::move(raw), EndpointsOf(*configuration), name);
    libusb_free_config_descriptor(configuration);
    {
        std::lock_guard lock(devicesMutex_);
        present_[libusb_ref_device(device)] = busDevice;
    }
    listener_->Arrived(busDevice);
}

void LibusbBus::Leave(libusb_device* device) {
    std::shared_ptr<LibusbDevice> busDevice;
    {
        std::lock_guard lock(devicesMutex_);
        if (auto refused = refused_.find(device); refused != refused_.end()) {
            refused_.erase(refused);
            libusb_unref_device(device);
            return;
        }
        auto found = present_.find(device);
        if (found == present_.end()) {
            return;
        }
        busDevice = found->second;
        present_.erase(found);
    }
    busDevice->MarkGone();
    listener_->Left(busDevice);
    libusb_unref_device(device);
}

}  // namespace drv
