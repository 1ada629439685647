// Placeholder until recovery lands: nothing to recover.
#include "recovery.h"

Recovery restoreFromRecord(const RestoreRecord&, SystemClock&, TimeService&, bool) { return {}; }
Recovery recoverLeftRecord(RecordStore&, SystemClock&, TimeService&) { return {}; }
