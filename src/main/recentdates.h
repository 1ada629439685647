#pragma once
// The ten most recently set dates, newest first, kept as values "1" to "10"
// of a key of the settings store.

#include <string>
#include <vector>

// Puts a date text at the head of the list; an equal text further down is
// taken out, and when there is none the tenth entry drops off.
void storeRecentDate(const std::string& keyPath, const std::string& date);

// The stored entries in order "1" to "10", skipping missing values.
std::vector<std::string> loadRecentDates(const std::string& keyPath);

constexpr int kRecentDatesMax = 10;
