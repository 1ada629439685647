#include "recentdates.h"

#include "registry.h"

void storeRecentDate(const std::string& keyPath, const std::string& date)
{
    HKEY key = nullptr;
    CreateKey(HKEY_CURRENT_USER, keyPath, &key);

    int found = 0;
    for (int i = 1; i <= kRecentDatesMax && found == 0; ++i) {
        std::string text;
        GetKeyValue(key, "", std::to_string(i), text);
        if (text == date)
            found = i;
    }

    // A missing value is not copied, so a gap moves down without closing.
    const int last = found == 0 ? kRecentDatesMax - 1 : found - 1;
    for (int j = last; j >= 1; --j) {
        std::string text;
        if (GetKeyValue(key, "", std::to_string(j), text) == ERROR_SUCCESS)
            SetKeyValue(key, "", std::to_string(j + 1), text);
    }
    SetKeyValue(key, "", "1", date);
    RegCloseKey(key);
}

std::vector<std::string> loadRecentDates(const std::string& keyPath)
{
    HKEY key = nullptr;
    CreateKey(HKEY_CURRENT_USER, keyPath, &key);

    std::vector<std::string> dates;
    for (int i = 1; i <= kRecentDatesMax; ++i) {
        std::string text;
        if (GetKeyValue(key, "", std::to_string(i), text) == ERROR_SUCCESS)
            dates.push_back(text);
    }
    RegCloseKey(key);
    return dates;
}
