// A failed call to the time service is said in words, never by its D-Bus name.

#include <gtest/gtest.h>

#include "buserrorwords.h"

namespace {

TEST(BusErrorInWords, KnownNamesByMeaningOthersByTheirMessage)
{
    const struct {
        const char* name;
        const char* message;
        const char* words;
    } cases[] = {
        {"org.freedesktop.DBus.Error.ServiceUnknown", "The name is not activatable", "the time service is not running"},
        {"org.freedesktop.DBus.Error.FileNotFound", "No such file or directory", "the system bus is not running"},
        {"org.freedesktop.PolicyKit1.Error.NotAuthorized", "Not authorized", "not authorised"},
        {"org.freedesktop.timedate1.AutomaticTimeSyncEnabled", "Automatic time synchronization is enabled",
         "automatic time sync is still on"},
        {"org.example.Broken", "it broke", "it broke"},
        {"org.example.Broken", "", "the time service failed"},
        {nullptr, nullptr, "the time service failed"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(busErrorInWords(c.name, c.message), c.words) << (c.name ? c.name : "no name");
}

}  // namespace
