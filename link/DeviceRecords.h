#pragma once
// The connection's list of AttachedDevice records. Callers hold the context's lock, except
// when no callback can run (the library is stopped).
#include <vector>

#include "link/LinkState.h"

namespace lnk {

// Appends at the tail and counts the record.
void AppendRecord(LinkContextRecord& context, AttachedDevice* record);
// The first record of this handle that is not refused, else the first refused one.
AttachedDevice* FindRecord(const LinkContextRecord& context, const usb::DeviceContext* handle);
// The first record that may become the active device.
AttachedDevice* FirstUsableRecord(const LinkContextRecord& context);
// Unlinks, frees and uncounts the record.
void RemoveRecord(LinkContextRecord& context, AttachedDevice* record);
// Frees every record; count 0, no active device.
void FreeDeviceRecords(LinkContextRecord& context);
// The records in list order (for inspection).
std::vector<AttachedDevice> DeviceRecords(const LinkContextRecord& context);

}  // namespace lnk
