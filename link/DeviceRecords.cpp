#include "link/DeviceRecords.h"

#include <vector>

namespace lnk {

void AppendRecord(LinkContextRecord& context, AttachedDevice* record) {
    AttachedDevice** tail = &context.deviceList;
    while (*tail != nullptr) {
        tail = &(*tail)->next;
    }
    *tail = record;
    ++context.deviceCount;
}

AttachedDevice* FindRecord(const LinkContextRecord& context, const usb::DeviceContext* handle) {
    AttachedDevice* refused = nullptr;
    for (AttachedDevice* r = context.deviceList; r != nullptr; r = r->next) {
        if (r->handle != handle) {
            continue;
        }
        if (!r->refused) {
            return r;
        }
        if (refused == nullptr) {
            refused = r;
        }
    }
    return refused;
}

AttachedDevice* FirstUsableRecord(const LinkContextRecord& context) {
    for (AttachedDevice* r = context.deviceList; r != nullptr; r = r->next) {
        if (!r->refused) {
            return r;
        }
    }
    return nullptr;
}

void RemoveRecord(LinkContextRecord& context, AttachedDevice* record) {
    for (AttachedDevice** link = &context.deviceList; *link != nullptr; link = &(*link)->next) {
        if (*link == record) {
            *link = record->next;
            if (context.activeDevice == record) {
                context.activeDevice = nullptr;
            }
            delete record;
            --context.deviceCount;
            return;
        }
    }
}

void FreeDeviceRecords(LinkContextRecord& context) {
    while (context.deviceList != nullptr) {
        AttachedDevice* next = context.deviceList->next;
        delete context.deviceList;
        context.deviceList = next;
    }
    context.deviceCount = 0;
    context.activeDevice = nullptr;
}

std::vector<AttachedDevice> DeviceRecords(const LinkContextRecord& context) {
    std::vector<AttachedDevice> records;
    for (const AttachedDevice* r = context.deviceList; r != nullptr; r = r->next) {
        records.push_back(*r);
    }
    return records;
}

}  // namespace lnk
