// The record as text: a version line, one key=value line per field in a
// fixed order, and an end line. Anything else (a missing, doubled, unknown or
// malformed line, a cut-off text) is not a record: the next start must never
// act on garbage.

#include "restorerecord.h"

#include <cstdint>
#include <utility>
#include <vector>

#include "decimal.h"
#include "registry.h"

namespace {

const char kVersionLine[] = "ravodor-restore-record=2";
// Written by earlier releases: no machine, no guard. Still acted on.
const char kVersion1Line[] = "ravodor-restore-record=1";
const char kEndLine[] = "end";
const char kValueName[] = "RestoreRecord";
const char* const kKeys[] = {"anchor_wall_ns", "anchor_boot_ns", "boot_id", "machine_id", "in_effect",
                             "sync_paused", "pid", "pid_start", "guard_pid", "guard_start"};
constexpr std::size_t kFieldCount = sizeof kKeys / sizeof kKeys[0];
enum Field { kWall, kBoot, kBootId, kMachineId, kInEffect, kSyncPaused, kPid, kPidStart, kGuardPid, kGuardStart };
// Version 1 had the fields not marked here, in the same order.
constexpr bool kInVersion1[kFieldCount] = {true, true, true, false, true, true, true, true, false, false};
// Linux counts process ids up to 2^22.
constexpr std::int64_t kPidMax = 4194304;

bool inRange(std::int64_t value, std::int64_t low, std::int64_t high)
{
    return value >= low && value <= high;
}

// Boot and machine ids: UUIDs, hex strings, a counter: letters, digits and dashes.
bool isBootId(const std::string& text)
{
    if (text.size() > 64)
        return false;
    for (char c : text) {
        const bool plain = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-';
        if (!plain)
            return false;
    }
    return true;
}

std::vector<std::string> splitLines(const std::string& text, bool* wholeLines)
{
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    while (start < text.size()) {
        const std::string::size_type end = text.find('\n', start);
        if (end == std::string::npos) {
            *wholeLines = false;
            return lines;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    *wholeLines = true;
    return lines;
}

// The store's reason, in words where the status is one the store gives.
std::string reason(long status)
{
    const char* words = nullptr;
    switch (status) {
    case ERROR_FILE_NOT_FOUND: words = "not found"; break;
    case ERROR_ACCESS_DENIED: words = "access denied"; break;
    case ERROR_NOT_ENOUGH_MEMORY: words = "not enough memory"; break;
    case ERROR_WRITE_FAULT: words = "write fault"; break;
    case ERROR_DISK_FULL: words = "disk full"; break;
    case ERROR_FILENAME_EXCED_RANGE: words = "path too long"; break;
    default: break;
    }
    const std::string code = "error " + std::to_string(status);
    return words ? std::string(words) + " (" + code + ")" : code;
}

}  // namespace

std::int64_t RestoreRecord::realInstantAt(std::int64_t bootNs) const
{
    std::int64_t elapsed = 0, real = 0;
    if (__builtin_sub_overflow(bootNs, anchorBootNs, &elapsed) || __builtin_add_overflow(anchorWallNs, elapsed, &real))
        return elapsed < 0 ? INT64_MIN : INT64_MAX;
    return real;
}

std::string formatRecord(const RestoreRecord& record)
{
    std::string text = std::string(kVersionLine) + '\n';
    const std::string values[kFieldCount] = {
        std::to_string(record.anchorWallNs), std::to_string(record.anchorBootNs), record.bootId,
        record.machineId,                    isoDate(record.inEffect),                                record.syncPaused ? "1" : "0",
        std::to_string(record.pid),          std::to_string(record.pidStart),     std::to_string(record.guardPid),
        std::to_string(record.guardStart),
    };
    for (std::size_t i = 0; i < kFieldCount; ++i)
        text += std::string(kKeys[i]) + '=' + values[i] + '\n';
    return text + kEndLine + '\n';
}

bool parseRecord(const std::string& text, RestoreRecord* record)
{
    bool wholeLines = false;
    const std::vector<std::string> lines = splitLines(text, &wholeLines);
    if (!wholeLines || lines.size() < 2 || lines.back() != kEndLine)
        return false;
    const bool version1 = lines.front() == kVersion1Line;
    if (!version1 && lines.front() != kVersionLine)
        return false;
    std::string values[kFieldCount] = {"", "", "", "", "", "", "", "", "0", "0"};
    std::size_t line = 1;
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        if (version1 && !kInVersion1[i])
            continue;
        const std::string prefix = std::string(kKeys[i]) + '=';
        if (line + 1 >= lines.size() || lines[line].compare(0, prefix.size(), prefix) != 0)
            return false;
        values[i] = lines[line++].substr(prefix.size());
    }
    if (line + 1 != lines.size())
        return false;
    RestoreRecord parsed;
    // Out of range is not a record: its sums would overflow, or it names no process.
    if (!parseDecimal(values[kWall], &parsed.anchorWallNs) || !inRange(parsed.anchorWallNs, 0, kRecordNsMax)
        || !parseDecimal(values[kBoot], &parsed.anchorBootNs) || !inRange(parsed.anchorBootNs, 0, kRecordNsMax)
        || !isBootId(values[kBootId]) || !isBootId(values[kMachineId])
        || !parseIsoDate(values[kInEffect], &parsed.inEffect)
        || (values[kSyncPaused] != "0" && values[kSyncPaused] != "1")
        || !parseDecimal(values[kPid], &parsed.pid) || !inRange(parsed.pid, 1, kPidMax)
        || !parseDecimal(values[kPidStart], &parsed.pidStart) || !parseDecimal(values[kGuardPid], &parsed.guardPid)
        || !inRange(parsed.guardPid, 0, kPidMax) || !parseDecimal(values[kGuardStart], &parsed.guardStart))
        return false;
    parsed.bootId = values[kBootId];
    parsed.machineId = values[kMachineId];
    parsed.syncPaused = values[kSyncPaused] == "1";
    *record = parsed;
    return true;
}

RecordStore::RecordStore(std::string settingsKey) : key_(std::move(settingsKey)) {}

AppError RecordStore::write(const RestoreRecord& record)
{
    const long status = SetKeyValue(HKEY_CURRENT_USER, key_, kValueName, formatRecord(record));
    if (status == ERROR_SUCCESS)
        return AppError::none();
    return {kErrNoRecord, "The settings store could not keep the restore record: " + reason(status), {}, 0};
}

bool RecordStore::read(RestoreRecord* record) const
{
    std::string text;
    return GetKeyValue(HKEY_CURRENT_USER, key_, kValueName, text) == ERROR_SUCCESS && parseRecord(text, record);
}

bool RecordStore::exists() const
{
    std::string text;
    return GetKeyValue(HKEY_CURRENT_USER, key_, kValueName, text) == ERROR_SUCCESS;
}

AppError RecordStore::remove()
{
    const long status = DeleteKeyValue(HKEY_CURRENT_USER, key_, kValueName);
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND)
        return AppError::none();
    return {kErrNoRecord, "The settings store could not remove the restore record: " + reason(status), {}, 0};
}
