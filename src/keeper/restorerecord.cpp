// Placeholder until the record lands: nothing is stored.
#include "restorerecord.h"

#include <utility>

std::string formatRecord(const RestoreRecord&) { return {}; }
bool parseRecord(const std::string&, RestoreRecord*) { return false; }
RecordStore::RecordStore(std::string settingsKey) : key_(std::move(settingsKey)) {}
AppError RecordStore::write(const RestoreRecord&) { return AppError::none(); }
bool RecordStore::read(RestoreRecord*) const { return false; }
bool RecordStore::exists() const { return false; }
AppError RecordStore::remove() { return AppError::none(); }
