#include "cli/BatchOptions.h"

namespace qm {

QStringList BatchOptions::argumentsOf(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    return args;
}

BatchOptions BatchOptions::parse(const QStringList &args)
{
    BatchOptions o;
    auto fail = [&o](const QString &why) {
        o.error = why;
        return o;
    };
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a == u"--help" || a == u"-h") {
            o.mode = Mode::Help;
        } else if (a == u"--version") {
            o.mode = Mode::Version;
        } else if (a == u"--batch" || a == u"--timers") {
            if (o.mode == Mode::Batch || o.mode == Mode::Timers)
                return fail(QStringLiteral("only one of --batch and --timers may be given"));
            if (i + 1 >= args.size())
                return fail(a + QStringLiteral(" needs a document"));
            o.mode = a == u"--batch" ? Mode::Batch : Mode::Timers;
            o.document = args.at(++i);
        } else if (a == u"--session") {
            if (i + 1 >= args.size())
                return fail(QStringLiteral("--session needs a number"));
            bool ok = false;
            o.sessionNumber = args.at(++i).toInt(&ok);
            if (!ok || o.sessionNumber < 1)
                return fail(QStringLiteral("--session needs a number from 1"));
            if (o.sessions == Sessions::All)
                return fail(QStringLiteral("--session and --all exclude each other"));
            o.sessions = Sessions::One;
        } else if (a == u"--all") {
            if (o.sessions == Sessions::One)
                return fail(QStringLiteral("--session and --all exclude each other"));
            o.sessions = Sessions::All;
        } else if (a == u"--ask") {
            o.ask = true;
        } else if (a == u"--defaults") {
            o.defaults = true;
        } else if (!a.startsWith(u'-')) {
            o.documents << a;
        } else {
            return fail(QStringLiteral("unknown argument: ") + a);
        }
    }
    if (o.mode == Mode::Help || o.mode == Mode::Version)
        return o;
    if (o.mode == Mode::Desktop && (o.sessions != Sessions::Current || o.ask))
        return fail(QStringLiteral("--session, --all and --ask need --batch or --timers"));
    if (o.mode != Mode::Desktop && (o.defaults || !o.documents.isEmpty()))
        return fail(o.defaults ? QStringLiteral("--defaults is for the desktop program")
                               : QStringLiteral("unknown argument: ") + o.documents.first());
    return o;
}

QString BatchOptions::usage()
{
    return QStringLiteral(
        "usage: quillmere [--defaults] [DOCUMENT...]\n"
        "                                       open the desktop program (--defaults: default\n"
        "                                       preferences and a fresh template, as Alt held at start)\n"
        "       quillmere --batch DOCUMENT [--session N | --all] [--ask]\n"
        "                                       run a document's session without a display\n"
        "       quillmere --timers DOCUMENT     run the document's timers until stopped\n"
        "       quillmere --help | --version\n"
        "\n"
        "--batch runs the session stored as current, session N (from 1) or all sessions,\n"
        "unattended: errors do not stop the run and conflicts that would be asked are\n"
        "skipped (with --ask on a terminal they are asked there). Progress goes to\n"
        "standard error, the run's log to standard output.\n"
        "Exit status: 0 done without run errors, 1 run errors or stopped, 2 could not start.\n");
}

} // namespace qm
