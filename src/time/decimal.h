#pragma once
// Whole numbers in the project's own files and notes, read strictly: digits
// only (a sign for the signed), nothing before or after, nothing out of range.

#include <cstdint>
#include <string>

bool parseDecimal(const std::string& text, std::int64_t* value);
bool parseDecimal(const std::string& text, std::uint64_t* value);
