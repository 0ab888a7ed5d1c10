#pragma once
// What the schedule check needs to know about the application around it.
// The application controller implements it; tests use a fake.
#include <QVariantList>

namespace qm {

class ScheduleHost {
public:
    virtual ~ScheduleHost() = default;
    // The open document's sessionsArray (read only).
    virtual QVariantList sessions() const = 0;
    // The current session index; the session count + 1 means "All Sessions".
    virtual int sessionIndex() const = 0;
    // The Sync And Quit preference: no timer runs while it is on.
    virtual bool syncAndQuit() const = 0;
    // Any run under way, however it was started.
    virtual bool isRunUnderway() const = 0;
    // The console window shows its main panel.
    virtual bool consoleShown() const = 0;
};

} // namespace qm
