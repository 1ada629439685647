// ravodor-guard PROGRAM-NAME PID START (Windows)
//
// Started by the program with its first change away from the real date.
// Waits until that program ends; when it left its restore record behind
// (killed, crashed), puts the real date back from it, resumes time sync if
// the program had paused it, and removes the record. When the clock cannot
// be put back the record stays for the program's next start.
//
// Exit status: 0 nothing to do, 3 put right, 4 record left, 2 bad call.

#include <cerrno>
#include <cstdlib>
#include <string>

#include "clock.h"
#include "guardprocess.h"
#include "localchanger.h"
#include "recovery.h"
#include "restorerecord.h"
#include "timeservice.h"

namespace {

enum Status { kNothingToDo = 0, kBadCall = 2, kPutRight = 3, kRecordLeft = 4 };

bool parseNumber(const char* text, unsigned long long* value)
{
    if (!text || *text < '0' || *text > '9')
        return false;
    char* end = nullptr;
    errno = 0;
    *value = std::strtoull(text, &end, 10);
    return errno == 0 && *end == '\0';
}

}  // namespace

int main(int argc, char** argv)
{
    unsigned long long pid = 0, start = 0;
    if (argc != 4 || !*argv[1] || !parseNumber(argv[2], &pid) || !parseNumber(argv[3], &start) || pid == 0)
        return kBadCall;
    prepareGuard();
    waitForProgramEnd(static_cast<std::int64_t>(pid), start);

    RecordStore store(std::string("Software\\Zaduziro\\") + argv[1]);
    RestoreRecord record;
    // No record, or one of another run of the program: not ours to act on.
    if (!store.read(&record) || record.pid != static_cast<std::int64_t>(pid) || record.pidStart != start)
        return kNothingToDo;

    const auto clock = makeSystemClock();
    const auto service = makeTimeService();
    LocalChanger changer(*clock, *service);
    const Recovery recovery = restoreFromRecord(record, *clock, changer, true, true);
    if (recovery.clock)
        return kRecordLeft;
    store.remove();
    return kPutRight;
}
