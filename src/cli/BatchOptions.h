#pragma once
// The command line of the program without a display.
#include <QString>
#include <QStringList>

namespace qm {

struct BatchOptions {
    enum class Mode { Desktop, Help, Version, Batch, Timers };
    enum class Sessions { Current, One, All };

    Mode mode = Mode::Desktop;
    QString document;
    Sessions sessions = Sessions::Current;
    int sessionNumber = 0; // counted from 1
    bool ask = false;      // conflicts asked on the terminal
    bool defaults = false; // desktop: default preferences and a fresh template
    QStringList documents; // desktop: documents to open, as the desktop shell hands them over
    QString error;         // set when the command line is not valid

    // `args` without the program name.
    static BatchOptions parse(const QStringList &args);
    // main()'s arguments without the program name.
    static QStringList argumentsOf(int argc, char **argv);
    static QString usage();
};

} // namespace qm
