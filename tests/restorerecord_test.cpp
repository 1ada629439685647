// The restore record's text and its place in the settings store.

#include <gtest/gtest.h>

#include "restorerecord.h"
#include "settingskey.h"
#include "testenv.h"

namespace {

RestoreRecord sample()
{
    RestoreRecord record;
    record.anchorWallNs = 1796736000123456789;
    record.anchorBootNs = 98765432100;
    record.bootId = "0b5e6d6a-4a59-4f0c-9c1e-2d3f4a5b6c7d";
    record.inEffect = {2026, 12, 15};
    record.syncPaused = true;
    record.machineId = "5c1b7e0d9a2f4e3b8c6d1a0f2e4b6c8d";
    record.pid = 4242;
    record.pidStart = 123456;
    record.guardPid = 4243;
    record.guardStart = 123457;
    return record;
}

bool same(const RestoreRecord& a, const RestoreRecord& b)
{
    return a.anchorWallNs == b.anchorWallNs && a.anchorBootNs == b.anchorBootNs && a.bootId == b.bootId
           && a.machineId == b.machineId && a.inEffect == b.inEffect && a.syncPaused == b.syncPaused && a.pid == b.pid
           && a.pidStart == b.pidStart && a.guardPid == b.guardPid && a.guardStart == b.guardStart;
}

TEST(RestoreRecordText, ReadsBackWhatWasWritten)
{
    RestoreRecord noIds = sample();
    noIds.bootId = noIds.machineId = "";  // a system without boot or machine ids
    noIds.syncPaused = false;
    noIds.guardPid = 0;
    RestoreRecord leapDay = sample();
    leapDay.inEffect = {2028, 2, 29};
    leapDay.pidStart = UINT64_MAX;
    for (const RestoreRecord& record : {sample(), noIds, leapDay}) {
        RestoreRecord read;
        ASSERT_TRUE(parseRecord(formatRecord(record), &read)) << formatRecord(record);
        EXPECT_TRUE(same(read, record)) << formatRecord(record);
    }
}

TEST(RestoreRecordText, AnEarlierReleasesRecordIsStillActedOn)
{
    RestoreRecord read;
    ASSERT_TRUE(parseRecord("ravodor-restore-record=1\nanchor_wall_ns=1796736000123456789\nanchor_boot_ns=98765432100\n"
                            "boot_id=b\nin_effect=2026-12-15\nsync_paused=1\npid=4242\npid_start=123456\nend\n",
                            &read));
    EXPECT_EQ(read.inEffect, CivilDate({2026, 12, 15}));
    EXPECT_TRUE(read.machineId.empty() && read.guardPid == 0 && read.syncPaused);
}

TEST(RestoreRecordText, AnythingButAWholeValidRecordIsRefused)
{
    const std::string good = formatRecord(sample());
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    const std::pair<const char*, std::string> cases[] = {
        {"empty", ""},
        {"cut short", good.substr(0, good.size() / 2)},
        {"no end line", replaced("end\n", "")},
        {"no last newline", good.substr(0, good.size() - 1)},
        {"another version", replaced("record=2", "record=3")},
        {"a field missing", replaced("sync_paused=1\n", "")},
        {"a field doubled", replaced("pid=4242\n", "pid=4242\npid=4242\n")},
        {"an unknown field", replaced("end\n", "extra=1\nend\n")},
        {"fields out of order", replaced("pid=4242\npid_start=123456\n", "pid_start=123456\npid=4242\n")},
        {"a number with text", replaced("pid=4242", "pid=42x")},
        {"a number too big", replaced("anchor_boot_ns=98765432100", "anchor_boot_ns=99999999999999999999")},
        {"no process", replaced("pid=4242", "pid=0")},
        // Out of range: sums with them would overflow, or they name no process.
        {"a wall clock before 1970", replaced("anchor_wall_ns=1796736000123456789", "anchor_wall_ns=-5")},
        {"a wall clock near overflow", replaced("anchor_wall_ns=1796736000123456789", "anchor_wall_ns=9223372036854775807")},
        {"a boot clock near overflow", replaced("anchor_boot_ns=98765432100", "anchor_boot_ns=9223372036854775807")},
        {"a process id beyond any system's", replaced("pid=4242", "pid=99999999")},
        {"a negative guard", replaced("guard_pid=4243", "guard_pid=-1")},
        {"a day that does not exist", replaced("2026-12-15", "2026-02-30")},
        {"a date in another form", replaced("2026-12-15", "15/12/2026")},
        {"a flag not 0 or 1", replaced("sync_paused=1", "sync_paused=yes")},
        {"a boot id with blanks", replaced("0b5e6d6a-", "0b5e 6d6a-")},
        {"carriage returns", replaced("end\n", "end\r\n")},
        {"garbage after the end", good + "x\n"},
    };
    for (const auto& [name, text] : cases) {
        RestoreRecord read = sample();
        read.pid = 1;
        EXPECT_FALSE(parseRecord(text, &read)) << name;
        EXPECT_EQ(read.pid, 1) << name << ": a refused text changes nothing";
    }
}

TEST(RecordStore, IsWrittenBesideTheSettingsReadAndRemovedAndGarbageIsNoRecord)
{
    TestFolders folders;
    RecordStore store(settingsKeyPath("ravodor"));
    RestoreRecord read;
    EXPECT_FALSE(store.exists());
    ASSERT_FALSE(store.write(sample()));
    EXPECT_EQ(getSetting("", "RestoreRecord"), formatRecord(sample()));
    ASSERT_TRUE(store.read(&read));
    EXPECT_TRUE(same(read, sample()));

    putSetting("", "RestoreRecord", "anchor_wall_ns=1\n");
    EXPECT_TRUE(store.exists());
    EXPECT_FALSE(store.read(&read));
    EXPECT_FALSE(store.remove());
    EXPECT_FALSE(store.exists());
    EXPECT_FALSE(store.remove()) << "removing what is not there is no failure";
}

}  // namespace
