#pragma once
// A run's progress on standard error: one rewritten line on a terminal,
// plain lines otherwise (a log file should not fill with carriage returns).
#include "app/AppController.h"

#include <cstdio>

namespace qm {

// Listens to the run's feedback, as the desktop console does.
class ConsoleDisplay : public QObject {
    Q_OBJECT
public:
    ConsoleDisplay(FILE *err, RunFeedback &feedback);
    ~ConsoleDisplay() override;
    void status(const QString &text);
    void progress(int done, int total);

private:
    FILE *m_err;
    bool m_tty;
    bool m_open = false;
    int m_lastPrinted = -1;
    QString m_status;

    void endLine();
};

// The one-line reason on standard error; answers the "could not start" status.
int reportCannotStart(FILE *err, const QString &why);

// The start-up checks, then a controller with `document` open; null after
// the reason was told on `err`.
std::unique_ptr<AppController> startWithDocument(const QString &document, RunQuestions &questions,
                                                 FILE *err);

} // namespace qm
