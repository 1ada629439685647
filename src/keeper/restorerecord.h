#pragma once
// What puts things right without the program: written before the first change
// away from the real date, updated at each change, removed once the real date
// is back and time sync runs again. Kept in the settings store beside
// StartAltered, so the guard and the next start find it.

#include <cstdint>
#include <string>

#include "apperror.h"
#include "clock.h"

struct RestoreRecord {
    std::int64_t anchorWallNs = 0;  // the wall clock before the first change: the real instant then
    std::int64_t anchorBootNs = 0;  // the boot clock at that same moment
    std::string bootId;             // the boot the anchor belongs to ("" where unknown)
    std::string machineId;          // the machine whose clock it is about ("" where unknown)
    CivilDate inEffect;             // the date now set
    bool syncPaused = false;        // Ravodor switched automatic time sync off
    std::int64_t pid = 0;           // the program that wrote it
    std::uint64_t pidStart = 0;     // its start time, so a reused id is not taken for it
    std::int64_t guardPid = 0;      // its guard, which may still be undoing (0: none)
    std::uint64_t guardStart = 0;

    // The real instant at a later boot-clock reading of the same boot.
    // Parsed records are in range; this saturates rather than overflow.
    std::int64_t realInstantAt(std::int64_t bootNs) const;
};

// The largest clock reading a record may hold: the year 2096, far beyond any
// real clock in use and far enough from overflow for any sum with another.
constexpr std::int64_t kRecordNsMax = 4000000000000000000LL;

std::string formatRecord(const RestoreRecord& record);
// False for text that is not a whole, valid record.
bool parseRecord(const std::string& text, RestoreRecord* record);

// The record's place: the value "RestoreRecord" under the settings key.
class RecordStore {
public:
    explicit RecordStore(std::string settingsKey);
    // Atomic; kErrNoRecord with the store's reason when it cannot be written.
    AppError write(const RestoreRecord& record);
    // False when there is none or it does not read as a record.
    bool read(RestoreRecord* record) const;
    bool exists() const;
    AppError remove();

private:
    std::string key_;
};
