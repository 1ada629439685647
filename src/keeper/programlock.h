#pragma once
// The one lock per user that the window and --at share: whoever holds it may
// alter the date. Beside it, the holder notes what it is, so that a start it
// refuses can name it. It lives beside the restore record, in the settings
// folder, so every login of the user finds it: a desktop, cron, su.

#include <QLockFile>
#include <QString>

#include <memory>

class ProgramLock {
public:
    enum Holder { Window, RunAt, Unknown };

    // folder: where the lock lives; empty for the settings folder of `name`
    // (the runtime folder on Windows). name: the executable's base name.
    ProgramLock(const QString& folder, const QString& name, Holder as);

    bool held() const { return held_; }
    // Not held because another process has it; false when no lock can be
    // made here at all.
    bool heldElsewhere() const { return elsewhere_; }

    // Who holds it, as far as its note tells; valid when heldElsewhere().
    Holder holder() const { return holder_; }
    qint64 holderPid() const { return holderPid_; }
    // Why this start may not alter the date, naming the holder.
    QString refusal() const;

private:
    std::unique_ptr<QLockFile> lock_;
    Holder as_;
    bool held_ = false;
    bool elsewhere_ = false;
    Holder holder_ = Unknown;
    qint64 holderPid_ = 0;
};

// Why a start may not alter the date while `pid`, a Ravodor that holds no
// lock this start can see, has it altered: the words of a lock refusal.
QString runningRefusal(qint64 pid);
