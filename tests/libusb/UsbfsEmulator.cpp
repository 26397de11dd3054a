#include "tests/libusb/UsbfsEmulator.h"

#include <glib.h>
#include <linux/capability.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <umockdev.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstring>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "platform/clock/Clock.h"
#include "platform/drv/DrvStatus.h"

namespace usbemu {
namespace {

constexpr char kKernelDriver[] = "emulated-driver";
// How long a reap with nothing to reap holds the answer back (real time). libusb polls a
// usbfs node for "writable", which a socket always is, so without this it would ask again
// at once and keep a core busy.
constexpr auto kReapPause = std::chrono::milliseconds(1);
// The slices in which a read waits for the device, so that a discard ends it soon.
constexpr auto kReadSlice = std::chrono::milliseconds(5);

struct Counters {
    std::atomic<uint64_t> submitted{0}, reaped{0}, discarded{0}, controlRequests{0}, stringReads{0},
        claims{0}, driverDetaches{0}, setInterfaces{0};
};

// One URB between its submission and its reaping.
struct Urb {
    UMockdevIoctlData* urb = nullptr;     // the client's usbdevfs_urb (a reference)
    UMockdevIoctlData* buffer = nullptr;  // its buffer (a reference)
    bool discarded = false;
    int status = 0;
    int actual = 0;

    usbdevfs_urb& Fields() const { return *reinterpret_cast<usbdevfs_urb*>(urb->data); }
};

int ErrnoFromStatus(uint32_t status) {
    switch (status) {
        case drv::kSuccess:
            return 0;
        case drv::kDeviceNotFound:
            return ENODEV;
        case drv::kUsbdStall:
            return EPIPE;
        case drv::kOperationFailed:
            return EOVERFLOW;
        case drv::kInvalidParameter:
            return EINVAL;
        default:
            return EPROTO;
    }
}

// The clock milliseconds of one read slice.
uint32_t ReadSliceClockMs() {
    const double ms = std::chrono::duration<double, std::milli>(kReadSlice).count();
    return std::max<uint32_t>(1, static_cast<uint32_t>(ms * plat::ClockSpeed()));
}

}  // namespace

// One plugged device: its sysfs entry, its node, and the usbfs requests on the node.
class EmulatedDevice {
  public:
    EmulatedDevice(std::shared_ptr<drv::BusDevice> device, unsigned devnum)
        : device_(std::move(device)), devnum_(devnum) {
        char node[64];
        std::snprintf(node, sizeof node, "/dev/bus/usb/001/%03u", devnum);
        node_ = node;
        sysName_ = "1-" + std::to_string(devnum);
        worker_ = std::thread([this] { Work(); });
    }

    ~EmulatedDevice() {
        MarkGone();
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        worker_.join();
        std::lock_guard lock(mutex_);
        for (Urb& urb : queued_) {
            Release(urb);
        }
        for (Urb& urb : done_) {
            Release(urb);
        }
    }

    const std::string& Node() const { return node_; }
    const std::string& SysName() const { return sysName_; }
    unsigned Devnum() const { return devnum_; }
    drv::BusDevice& Device() const { return *device_; }

    // The cable is out: requests fail from now on, URBs not reaped yet end as the kernel
    // ends them for a device that has gone.
    void MarkGone() {
        std::lock_guard lock(mutex_);
        if (gone_) {
            return;
        }
        gone_ = true;
        for (Urb& urb : queued_) {
            urb.status = -ENODEV;
            done_.push_back(urb);
        }
        queued_.clear();
        changed_.notify_all();
    }

    std::vector<std::string> Claimed() const {
        std::lock_guard lock(mutex_);
        std::vector<std::string> claimed;
        for (unsigned interface : claimed_) {
            claimed.push_back(node_ + " interface " + std::to_string(interface));
        }
        return claimed;
    }

    // ---- usbfs requests, on the test bed's worker thread ----

    static gboolean HandleIoctl(UMockdevIoctlBase* /*base*/, UMockdevIoctlClient* client,
                                gpointer self) {
        static_cast<EmulatedDevice*>(self)->Ioctl(client);
        return TRUE;
    }

    // The device is built on the port's thread and reaches the test bed's worker through
    // umockdev, whose hand-over a thread sanitizer cannot see: this pair of atomics shows it.
    void Publish() { published_.store(true, std::memory_order_release); }

    void Ioctl(UMockdevIoctlClient* client) {
        (void)published_.load(std::memory_order_acquire);
        const unsigned long request = umockdev_ioctl_client_get_request(client);
        UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
        int error = 0;
        {
            std::lock_guard lock(mutex_);
            if (gone_ && request != USBDEVFS_REAPURBNDELAY && request != USBDEVFS_REAPURB) {
                umockdev_ioctl_client_complete(client, -1, ENODEV);
                return;
            }
        }
        switch (request) {
            case USBDEVFS_GET_CAPABILITIES:
                error = WithArg<uint32_t>(arg, [](uint32_t& caps) {
                    caps = USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM;
                    return 0;
                });
                break;
            case USBDEVFS_GETDRIVER:
                error = WithArg<usbdevfs_getdriver>(arg, [this](usbdevfs_getdriver& d) {
                    std::lock_guard lock(mutex_);
                    if (unbound_.count(d.interface) != 0) {
                        return ENODATA;
                    }
                    std::strncpy(d.driver, kKernelDriver, sizeof d.driver - 1);
                    return 0;
                });
                break;
            case USBDEVFS_IOCTL:
                error = WithArg<usbdevfs_ioctl>(arg, [this](usbdevfs_ioctl& c) {
                    return DriverControl(static_cast<unsigned>(c.ifno), c.ioctl_code);
                });
                break;
            case USBDEVFS_DISCONNECT_CLAIM:
                error =
                    WithArg<usbdevfs_disconnect_claim>(arg, [this](usbdevfs_disconnect_claim& c) {
                        DriverControl(c.interface, USBDEVFS_DISCONNECT);
                        return Claim(c.interface);
                    });
                break;
            case USBDEVFS_CLAIMINTERFACE:
                error = WithArg<unsigned>(arg, [this](unsigned& i) { return Claim(i); });
                break;
            case USBDEVFS_RELEASEINTERFACE:
                error = WithArg<unsigned>(arg, [this](unsigned& i) {
                    std::lock_guard lock(mutex_);
                    return claimed_.erase(i) != 0 ? 0 : EINVAL;
                });
                break;
            case USBDEVFS_SETINTERFACE:
                error = WithArg<usbdevfs_setinterface>(arg, [this](usbdevfs_setinterface& s) {
                    ++counts.setInterfaces;
                    return ErrnoFromStatus(device_->SetInterface(s.interface, s.altsetting));
                });
                break;
            case USBDEVFS_CLEAR_HALT:
            case USBDEVFS_RESETEP:
            case USBDEVFS_RESET:
                break;
            case USBDEVFS_SUBMITURB:
                error = Submit(arg);
                break;
            case USBDEVFS_DISCARDURB:
                error = Discard(arg);
                break;
            case USBDEVFS_REAPURB:
            case USBDEVFS_REAPURBNDELAY:
                error = Reap(arg);
                break;
            default:
                error = ENOTTY;
                break;
        }
        umockdev_ioctl_client_complete(client, error == 0 ? 0 : -1, error);
    }

    std::string syspath;
    Counters counts;

  private:
    // Runs `use` on the request's argument record, copied back to the caller afterwards.
    template <typename T, typename Use>
    static int WithArg(UMockdevIoctlData* arg, Use use) {
        GError* error = nullptr;
        UMockdevIoctlData* data = umockdev_ioctl_data_resolve(arg, 0, sizeof(T), &error);
        if (data == nullptr) {
            g_clear_error(&error);
            return EFAULT;
        }
        const int result = use(*reinterpret_cast<T*>(data->data));
        g_object_unref(data);
        return result;
    }

    int DriverControl(unsigned interface, int code) {
        std::lock_guard lock(mutex_);
        if (code == USBDEVFS_DISCONNECT) {
            if (!unbound_.insert(interface).second) {
                return ENODATA;
            }
            ++counts.driverDetaches;
            return 0;
        }
        if (code == USBDEVFS_CONNECT) {
            unbound_.erase(interface);
            return 0;
        }
        return ENOTTY;
    }

    int Claim(unsigned interface) {
        std::lock_guard lock(mutex_);
        if (unbound_.count(interface) == 0) {
            return EBUSY;  // the kernel driver still holds it
        }
        claimed_.insert(interface);
        ++counts.claims;
        return 0;
    }

    int Submit(UMockdevIoctlData* arg) {
        GError* error = nullptr;
        Urb urb;
        urb.urb = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), &error);
        if (urb.urb == nullptr) {
            g_clear_error(&error);
            return EFAULT;
        }
        const usbdevfs_urb& fields = urb.Fields();
        if (fields.buffer_length > 0) {
            urb.buffer =
                umockdev_ioctl_data_resolve(urb.urb, offsetof(usbdevfs_urb, buffer),
                                            static_cast<gsize>(fields.buffer_length), &error);
            if (urb.buffer == nullptr) {
                g_clear_error(&error);
                g_object_unref(urb.urb);
                return EFAULT;
            }
        }
        std::lock_guard lock(mutex_);
        ++counts.submitted;
        queued_.push_back(urb);
        changed_.notify_all();
        return 0;
    }

    int Discard(UMockdevIoctlData* arg) {
        gulong address = 0;
        std::memcpy(&address, arg->data, std::min<size_t>(sizeof address, arg->data_len));
        std::lock_guard lock(mutex_);
        ++counts.discarded;
        for (auto it = queued_.begin(); it != queued_.end(); ++it) {
            if (it->urb->client_addr == address) {
                it->status = -ENOENT;
                done_.push_back(*it);
                queued_.erase(it);
                return 0;
            }
        }
        if (running_ != nullptr && running_->urb->client_addr == address) {
            running_->discarded = true;
            return 0;
        }
        return EINVAL;
    }

    int Reap(UMockdevIoctlData* arg) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, kReapPause, [this] { return !done_.empty(); });
        if (done_.empty()) {
            return gone_ ? ENODEV : EAGAIN;
        }
        Urb urb = done_.front();
        done_.pop_front();
        ++counts.reaped;
        lock.unlock();
        urb.Fields().status = urb.status;
        urb.Fields().actual_length = urb.actual;
        GError* error = nullptr;
        UMockdevIoctlData* pointer = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), &error);
        if (pointer == nullptr) {
            g_clear_error(&error);
            Release(urb);
            return EFAULT;
        }
        umockdev_ioctl_data_set_ptr(pointer, 0, urb.urb);
        g_object_unref(pointer);
        Release(urb);
        return 0;
    }

    static void Release(Urb& urb) {
        if (urb.buffer != nullptr) {
            g_object_unref(urb.buffer);
        }
        g_object_unref(urb.urb);
    }

    // ---- The device's side, on the device's own thread ----

    void Work() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return stopping_ || !queued_.empty(); });
            if (stopping_) {
                return;
            }
            Urb urb = queued_.front();
            queued_.pop_front();
            running_ = &urb;
            lock.unlock();
            Carry(urb);
            lock.lock();
            running_ = nullptr;
            done_.push_back(urb);
            changed_.notify_all();
        }
    }

    bool Abandoned() {
        std::lock_guard lock(mutex_);
        return gone_ || stopping_ || (running_ != nullptr && running_->discarded);
    }

    void Carry(Urb& urb) {
        const usbdevfs_urb& fields = urb.Fields();
        uint8_t* data = urb.buffer != nullptr ? urb.buffer->data : nullptr;
        uint32_t length = static_cast<uint32_t>(std::max(fields.buffer_length, 0));
        uint32_t done = 0;
        uint32_t status = drv::kSuccess;
        if (fields.type == USBDEVFS_URB_TYPE_CONTROL) {
            if (data == nullptr || length < 8) {
                urb.status = -EINVAL;
                return;
            }
            {
                std::lock_guard lock(mutex_);
                ++counts.controlRequests;
                if (data[1] == 6 && data[3] == 3) {  // GET_DESCRIPTOR, STRING
                    ++counts.stringReads;
                }
            }
            const bool read = (data[0] & 0x80) != 0;
            status = device_->Transfer(0, 0, read, data + 8, length - 8, &done, data,
                                       ReadSliceClockMs() * 100);
        } else {
            const bool read = (fields.endpoint & 0x80) != 0;
            for (;;) {
                status = device_->Transfer(0, fields.endpoint, read, data, length, &done, nullptr,
                                           read ? ReadSliceClockMs() : 0);
                if (!(read && status == drv::kTimeout)) {
                    break;
                }
                if (Abandoned()) {
                    std::lock_guard lock(mutex_);
                    status = gone_ ? drv::kDeviceNotFound : drv::kCancelled;
                    break;
                }
            }
        }
        urb.actual = static_cast<int>(done);
        urb.status = status == drv::kCancelled ? -ENOENT : -ErrnoFromStatus(status);
    }

    std::shared_ptr<drv::BusDevice> device_;
    unsigned devnum_;
    std::string node_;
    std::string sysName_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Urb> queued_;
    std::deque<Urb> done_;
    Urb* running_ = nullptr;
    std::set<unsigned> claimed_;
    std::set<unsigned> unbound_;
    bool gone_ = false;
    bool stopping_ = false;
    std::atomic<bool> published_{false};
    std::thread worker_;
};

// ---- The port ----

class UsbfsEmulator::Impl {
  public:
    Impl() {
        testbed_ = umockdev_testbed_new();
        gchar* sys = umockdev_testbed_get_sys_dir(testbed_);
        // libusb decides once per process whether sysfs is there to read descriptors
        // from: it must be there before the first device arrives.
        std::filesystem::create_directories(std::filesystem::path(sys) / "bus/usb/devices");
        g_free(sys);
        gchar* root = umockdev_testbed_get_root_dir(testbed_);
        root_ = root;
        g_free(root);
        thread_ = std::thread([this] { Run(); });
    }

    ~Impl() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        thread_.join();
        for (auto& entry : present_) {
            Remove(*entry.second);
        }
        present_.clear();
        graveyard_.clear();
        g_object_unref(testbed_);
    }

    bool Available() const { return umockdev_in_mock_environment() != FALSE; }

    void Plug(const std::shared_ptr<drv::BusDevice>& device) {
        std::lock_guard lock(mutex_);
        actions_.push_back([this, device] { Add(device); });
        changed_.notify_all();
    }

    void Unplug(const std::shared_ptr<drv::BusDevice>& device) {
        std::lock_guard lock(mutex_);
        if (auto found = byDevice_.find(device.get()); found != byDevice_.end()) {
            found->second->MarkGone();
        }
        actions_.push_back([this, device] { Take(device); });
        changed_.notify_all();
    }

    void SetNodesUnreadable(bool unreadable) {
        std::lock_guard lock(mutex_);
        unreadable_ = unreadable;
    }

    std::vector<std::string> Claimed() const {
        std::lock_guard lock(mutex_);
        std::vector<std::string> claimed;
        for (const auto& entry : byDevice_) {
            auto more = entry.second->Claimed();
            claimed.insert(claimed.end(), more.begin(), more.end());
        }
        return claimed;
    }

    UsbfsCounts Counts() const {
        std::lock_guard lock(mutex_);
        return Sum();
    }

    size_t Present() const {
        std::lock_guard lock(mutex_);
        return byDevice_.size();
    }

  private:
    UsbfsCounts Sum() const {
        UsbfsCounts sum;
        const auto add = [&sum](const EmulatedDevice& d) {
            const Counters& c = d.counts;
            sum.submitted += c.submitted;
            sum.reaped += c.reaped;
            sum.discarded += c.discarded;
            sum.controlRequests += c.controlRequests;
            sum.stringReads += c.stringReads;
            sum.claims += c.claims;
            sum.driverDetaches += c.driverDetaches;
            sum.setInterfaces += c.setInterfaces;
        };
        for (const auto& entry : byDevice_) {
            add(*entry.second);
        }
        for (const auto& dead : graveyard_) {
            add(*dead);
        }
        return sum;
    }

    // The test bed is changed on this thread only, in the order of the plugs and unplugs.
    void Run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return stopping_ || !actions_.empty(); });
            if (stopping_) {
                return;
            }
            auto action = std::move(actions_.front());
            actions_.pop_front();
            lock.unlock();
            action();
            lock.lock();
        }
    }

    void Add(const std::shared_ptr<drv::BusDevice>& device) {
        bool unreadable = false;
        {
            std::lock_guard lock(mutex_);
            unreadable = unreadable_;
            nextDevnum_ = nextDevnum_ % 127 + 1;
        }
        auto emulated = std::make_shared<EmulatedDevice>(device, nextDevnum_);
        std::vector<uint8_t> descriptors = device->DeviceDescriptor();
        const std::vector<uint8_t> configuration = device->ConfigurationDescriptor();
        descriptors.insert(descriptors.end(), configuration.begin(), configuration.end());
        const std::string devnum = std::to_string(emulated->Devnum());
        const std::string devname = emulated->Node();
        emulated->syspath = "/sys/devices/" + emulated->SysName();
        // The node and its usbfs handler are in place before the device is added, since
        // adding it tells libusb at once. The node is ours rather than umockdev's, so that
        // an unreadable one is never readable for a moment.
        emulated->Publish();
        UMockdevIoctlBase* handler = umockdev_ioctl_base_new();
        g_signal_connect(handler, "handle-ioctl", G_CALLBACK(EmulatedDevice::HandleIoctl),
                         emulated.get());
        umockdev_testbed_attach_ioctl(testbed_, devname.c_str(), handler, nullptr);
        g_object_unref(handler);
        const std::filesystem::path node = root_ + devname;
        std::filesystem::create_directories(node.parent_path());
        std::FILE* file = std::fopen(node.c_str(), "w");
        if (file != nullptr) {
            std::fclose(file);
        }
        ::chmod(node.c_str(), unreadable ? 0 : 0600);
        {
            std::lock_guard lock(mutex_);
            byDevice_[device.get()] = emulated;
            present_[device.get()] = emulated;
        }
        // The record format of umockdev: P path, E udev properties, A attributes, H binary
        // attributes in hex. Adding it sends the "add" event.
        std::string record =
            "P: /devices/" + emulated->SysName() + "\nE: DEVNAME=" + devname +
            "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: BUSNUM=001" +
            "\nE: DEVNUM=" + Padded(emulated->Devnum()) + "\nE: PRODUCT=" + Hex(descriptors, 8) +
            "/" + Hex(descriptors, 10) + "/" + Hex(descriptors, 12) +
            "\nA: busnum=1\nA: devnum=" + devnum + "\nA: speed=480\nA: bConfigurationValue=1" +
            "\nA: bNumConfigurations=1\nH: descriptors=" + HexBytes(descriptors) + "\n";
        GError* error = nullptr;
        if (umockdev_testbed_add_from_string(testbed_, record.c_str(), &error) == FALSE) {
            std::fprintf(stderr, "umockdev: %s\n", error != nullptr ? error->message : "?");
            g_clear_error(&error);
            return;
        }
    }

    void Take(const std::shared_ptr<drv::BusDevice>& device) {
        std::shared_ptr<EmulatedDevice> emulated;
        {
            std::lock_guard lock(mutex_);
            auto found = present_.find(device.get());
            if (found == present_.end()) {
                return;
            }
            emulated = found->second;
            present_.erase(found);
            byDevice_.erase(device.get());
            graveyard_.push_back(emulated);
        }
        Remove(*emulated);
    }

    void Remove(EmulatedDevice& emulated) {
        emulated.MarkGone();
        umockdev_testbed_uevent(testbed_, emulated.syspath.c_str(), "remove");
        umockdev_testbed_detach_ioctl(testbed_, emulated.Node().c_str(), nullptr);
        umockdev_testbed_remove_device(testbed_, emulated.syspath.c_str());
        std::filesystem::remove(root_ + emulated.Node());
    }

    static std::string Padded(unsigned number) {
        char text[8];
        std::snprintf(text, sizeof text, "%03u", number);
        return text;
    }

    static std::string HexBytes(const std::vector<uint8_t>& bytes) {
        std::string text;
        char two[4];
        for (uint8_t byte : bytes) {
            std::snprintf(two, sizeof two, "%02X", byte);
            text += two;
        }
        return text;
    }

    static std::string Hex(const std::vector<uint8_t>& bytes, size_t at) {
        char text[8];
        std::snprintf(text, sizeof text, "%x", bytes[at] | (bytes[at + 1] << 8));
        return text;
    }

    UMockdevTestbed* testbed_ = nullptr;
    std::string root_;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> actions_;
    bool stopping_ = false;
    bool unreadable_ = false;
    unsigned nextDevnum_ = 1;
    std::map<drv::BusDevice*, std::shared_ptr<EmulatedDevice>> byDevice_;  // plugged
    std::map<drv::BusDevice*, std::shared_ptr<EmulatedDevice>> present_;   // in the test bed
    // Removed devices stay until the end: a late request on an old node finds them.
    std::vector<std::shared_ptr<EmulatedDevice>> graveyard_;
};

UsbfsEmulator::UsbfsEmulator() : impl_(std::make_unique<Impl>()) {}
UsbfsEmulator::~UsbfsEmulator() = default;
bool UsbfsEmulator::Available() const {
    return impl_->Available();
}
void UsbfsEmulator::Plug(const std::shared_ptr<drv::BusDevice>& device) {
    impl_->Plug(device);
}
void UsbfsEmulator::Unplug(const std::shared_ptr<drv::BusDevice>& device) {
    impl_->Unplug(device);
}
void UsbfsEmulator::SetNodesUnreadable(bool unreadable) {
    impl_->SetNodesUnreadable(unreadable);
}
std::vector<std::string> UsbfsEmulator::ClaimedInterfaces() const {
    return impl_->Claimed();
}
UsbfsCounts UsbfsEmulator::Counts() const {
    return impl_->Counts();
}
size_t UsbfsEmulator::PresentDevices() const {
    return impl_->Present();
}

bool DropPermissionOverride() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (::syscall(SYS_capget, &header, data) != 0) {
        return ::geteuid() != 0;
    }
    data[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    if (::syscall(SYS_capset, &header, data) != 0) {
        return ::geteuid() != 0;
    }
    return true;
}

}  // namespace usbemu
