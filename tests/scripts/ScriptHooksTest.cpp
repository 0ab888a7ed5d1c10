// Session scripts with the real /bin/sh: the syntax check, running with the
// session's context, failures, time-outs, and the user the script runs as.
#include "scripts/ScriptHooks.h"
#include "support/Files.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <pwd.h>
#include <unistd.h>

using namespace qm;

namespace {

QVariantMap sessionWithScripts(int startOn, const QString &start, int endOn, const QString &end)
{
    return {{"sessionName", "Photos"}, {"topFolder", "/data/photos"}, {"bottomFolder", "/backup/photos"},
            {"settTask", 2},           {"asStartOn", startOn},        {"asStartText", start},
            {"asEndOn", endOn},        {"asEndText", end}};
}

QString readAll(const QString &path)
{
    return QString::fromUtf8(qmtest::bytesOf(path));
}

ScriptRunOptions asThisProcess(int timeoutSeconds = 30)
{
    ScriptRunOptions o;
    o.timeoutSeconds = timeoutSeconds;
    o.runAs.reset();
    return o;
}

} // namespace

TEST(ShellScriptCompile, GoodTextPassesAndASyntaxErrorNamesItsLine)
{
    EXPECT_FALSE(ShellScript::compile(QStringLiteral("echo hello\nexit 0\n")).has_value());
    EXPECT_FALSE(ShellScript::compile(ShellScript::kNewScriptText).has_value());
    const auto e = ShellScript::compile(QStringLiteral("echo one\nif true; then\n  echo two\n"));
    ASSERT_TRUE(e.has_value());
    EXPECT_NE(e->number.value_or(0), 0);
    EXPECT_TRUE(e->message.contains(QStringLiteral("rror"))) << e->message.toStdString();
    EXPECT_GE(e->line, 2);
    // The check executes nothing.
    QTemporaryDir dir;
    const QString flag = dir.filePath("ran");
    EXPECT_FALSE(ShellScript::compile(QStringLiteral("touch '%1'").arg(flag)).has_value());
    EXPECT_FALSE(QFile::exists(flag));
    // Blank text and the old placeholder count as empty; the new one does not.
    EXPECT_TRUE(ShellScript::isEmptyText(QStringLiteral("  \n\t")));
    EXPECT_TRUE(ShellScript::isEmptyText(QStringLiteral("-- Write or paste here your AppleScript")));
    EXPECT_FALSE(ShellScript::isEmptyText(QStringLiteral("# Write or paste here your shell script")));
}

TEST(ShellScriptRun, ExitStatusSignalAndTimeOutMakeTheError)
{
    EXPECT_FALSE(ShellScript::run(QStringLiteral("true"), asThisProcess()).has_value());
    const auto e = ShellScript::run(QStringLiteral("echo 'disk not ready' >&2; exit 3"), asThisProcess());
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(e->number, 3);
    EXPECT_EQ(e->message, QStringLiteral("disk not ready"));
    const auto killed = ShellScript::run(QStringLiteral("kill -9 $$"), asThisProcess());
    ASSERT_TRUE(killed.has_value());
    EXPECT_FALSE(killed->number.has_value());

    // A script that outlives its time-out is stopped with what it started.
    QTemporaryDir dir;
    const QString pidFile = dir.filePath("child");
    QElapsedTimer clock;
    clock.start();
    const auto late = ShellScript::run(QStringLiteral("sleep 60 & echo $! > '%1'; wait").arg(pidFile),
                                       asThisProcess(1));
    EXPECT_LT(clock.elapsed(), 8000);
    ASSERT_TRUE(late.has_value());
    EXPECT_FALSE(late->number.has_value());
    EXPECT_EQ(late->message, QStringLiteral("The script was stopped after running for 1 seconds."));
    const pid_t child = pid_t(readAll(pidFile).trimmed().toInt());
    ASSERT_GT(child, 0);
    bool gone = false;
    for (int i = 0; i < 50 && !gone; ++i, gone || ::usleep(100000)) {
        // A killed job whose parent is gone may linger as a zombie for a
        // moment until the system reaps it; that counts as stopped.
        const QString stat = readAll(QStringLiteral("/proc/%1/stat").arg(child));
        gone = ::kill(child, 0) != 0 || stat.section(u')', -1).trimmed().startsWith(u'Z');
    }
    EXPECT_TRUE(gone) << "the script's background job survived the time-out";
}

TEST(ShellScriptRun, ScriptsRunWithTheUsersIdsNotRoot)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "changing ids needs root";
    const passwd *nobody = ::getpwnam("nobody");
    if (!nobody)
        GTEST_SKIP() << "no user \"nobody\" here";
    QTemporaryDir dir;
    ::chmod(QFile::encodeName(dir.path()).constData(), 0777);
    const QString out = dir.filePath("ids");
    ScriptRunOptions o = asThisProcess();
    o.runAs = UserIdentity::forUser(nobody->pw_uid);
    ASSERT_TRUE(o.runAs.has_value());
    const auto e = ShellScript::run(
        QStringLiteral("echo \"$HOME\" > '%1'; echo $(id -u) $(id -g) $(id -G) >> '%1';"
                       "cat /etc/shadow >/dev/null 2>&1 && echo root-read >> '%1'; true").arg(out),
        o);
    ASSERT_FALSE(e.has_value()) << e->message.toStdString();
    const QStringList lines = readAll(out).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << "root could read the shadow file: " << readAll(out).toStdString();
    EXPECT_EQ(lines[0], QString::fromLocal8Bit(nobody->pw_dir));
    const QStringList ids = lines[1].split(u' ');
    EXPECT_EQ(ids.mid(0, 2), (QStringList{QString::number(nobody->pw_uid), QString::number(nobody->pw_gid)}));
    EXPECT_FALSE(ids.mid(2).contains(QStringLiteral("0"))) << "root's groups kept";
    // A plain root process has no other user to become; one started through
    // the escalation service runs scripts as the user it was started for.
    EXPECT_EQ(::getuid() == 0 && ::getgid() == ::getegid(), !UserIdentity::realUserIfElevated());
    qputenv("PKEXEC_UID", QByteArray::number(nobody->pw_uid));
    const std::optional<UserIdentity> escalated = UserIdentity::realUserIfElevated();
    qunsetenv("PKEXEC_UID");
    ASSERT_TRUE(escalated.has_value());
    EXPECT_EQ(escalated->uid, nobody->pw_uid);
}

TEST(ScriptContext, TheScriptSeesTheSessionInItsEnvironment)
{
    QTemporaryDir dir;
    const QString out = dir.filePath("env");
    QVariantMap session = sessionWithScripts(1, QStringLiteral("env > '%1'").arg(out), 1,
                                             QStringLiteral("env > '%1'").arg(out));
    session.insert(QStringLiteral("settExact"), 1);
    ScriptRunOptions options = asThisProcess();
    options.environment.insert(QStringLiteral("QUILLMERE_ERRORS"), QStringLiteral("stale"));
    ScriptHooks hooks(options);
    ASSERT_TRUE(hooks.CompileAppleScripts(0, session, true).isEmpty());
    ScriptContext context = ScriptContext::fromSession(session, 0, 2);

    ASSERT_FALSE(hooks.ExecuteAppleScript(0, ScriptHooks::kBefore, context).has_value());
    QString env = readAll(out);
    for (const char *line : {"QUILLMERE_HOOK=before", "QUILLMERE_SESSION_NAME=Photos",
                             "QUILLMERE_SOURCE=/data/photos", "QUILLMERE_DESTINATION=/backup/photos",
                             "QUILLMERE_TASK=backup", "QUILLMERE_EXACT=1", "QUILLMERE_TRIGGER=timer",
                             "QUILLMERE_PAIR_COUNT=1", "QUILLMERE_SOURCE_1=/data/photos"})
        EXPECT_TRUE(env.contains(QLatin1String(line) + u'\n')) << line;
    EXPECT_FALSE(env.contains(QStringLiteral("QUILLMERE_ERRORS"))) << "no error count before the scan";

    context.errorCount = 4;
    ASSERT_FALSE(hooks.ExecuteAppleScript(0, ScriptHooks::kAfter, context).has_value());
    env = readAll(out);
    EXPECT_TRUE(env.contains(QStringLiteral("QUILLMERE_HOOK=after\n")));
    EXPECT_TRUE(env.contains(QStringLiteral("QUILLMERE_ERRORS=4\n")));
}

TEST(ScriptContext, FolderPairsAreListedWhenTheListIsOn)
{
    QVariantMap session = sessionWithScripts(0, {}, 0, {});
    session.insert(QStringLiteral("multiOn"), 1);
    QVariantList pairs;
    pairs << QVariantMap {{"onOff", 1}, {"source", "/a"}, {"destination", "/b"}}
          << QVariantMap {{"onOff", 0}, {"source", "/off"}, {"destination", "/off2"}}
          << QVariantMap {{"onOff", 1}, {"source", "/c"}, {"destination", ""}}
          << QVariantMap {{"onOff", 1}, {"source", "/d"}, {"destination", "/e"}};
    session.insert(QStringLiteral("multiArray"), pairs);
    const QProcessEnvironment env = ScriptContext::fromSession(session, 3, 1)
                                        .environment(QProcessEnvironment(), ScriptContext::Hook::Before);
    EXPECT_EQ(env.value("QUILLMERE_PAIR_COUNT"), QStringLiteral("2"));
    EXPECT_EQ(env.value("QUILLMERE_SOURCE"), QStringLiteral("/a"));
    EXPECT_EQ(env.value("QUILLMERE_DESTINATION_2"), QStringLiteral("/e"));
    EXPECT_EQ(env.value("QUILLMERE_SESSION_INDEX"), QStringLiteral("3"));
    EXPECT_EQ(env.value("QUILLMERE_TRIGGER"), QStringLiteral("button"));
}

TEST(RunScripts, CompileErrorsAreRunErrorsWithoutTheFinalFullStop)
{
    ScriptHooks hooks(asThisProcess());
    // Enabled start script with empty text, end script fine.
    QList<ScriptRunError> errors =
        hooks.CompileAppleScripts(0, sessionWithScripts(1, QString(), 1, QStringLiteral("true")), true);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0].text, QStringLiteral("Error compiling the first AppleScript"));
    EXPECT_EQ(errors[0].logLine, QStringLiteral("√ Error compiling the first AppleScript\r"));
    ASSERT_EQ(hooks.compiledScripts().size(), 1);
    EXPECT_FALSE(hooks.compiledScripts()[0].before.has_value());
    EXPECT_TRUE(hooks.compiledScripts()[0].after.has_value());

    // A syntax error carries the shell's status and words.
    errors = hooks.GetExecutiveAppleScripts(
        {sessionWithScripts(0, {}, 1, QStringLiteral("fi")), sessionWithScripts(1, "true", 0, {})},
        true, 0, true);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].text.startsWith(QStringLiteral("Error compiling the second AppleScript.\rError: ")))
        << errors[0].text.toStdString();
    EXPECT_FALSE(errors[0].text.endsWith(u'.'));
    ASSERT_EQ(hooks.compiledScripts().size(), 1) << "the first session has nothing that compiled";
    EXPECT_EQ(hooks.compiledScripts()[0].sessionIndex, 1);

    // A stopped run gives up on the session after its first failure, and
    // the session keeps none of its scripts.
    errors = hooks.CompileAppleScripts(0, sessionWithScripts(1, "if", 1, "fi"), false);
    EXPECT_EQ(errors.size(), 1);
    errors = hooks.CompileAppleScripts(7, sessionWithScripts(1, "true", 1, "fi"), false);
    EXPECT_EQ(errors.size(), 1);
    for (const CompiledScripts &record : hooks.compiledScripts())
        EXPECT_NE(record.sessionIndex, 7);
    // Disabled scripts are not checked at all.
    EXPECT_TRUE(hooks.CompileAppleScripts(0, sessionWithScripts(0, "if", 0, "fi"), true).isEmpty());
}

// A failed or timed-out script is a run error naming its session.
TEST(RunScripts, AFailingOrTimedOutScriptIsReportedWithTheSessionsName)
{
    const struct {
        int timeout;
        QVariantMap session;
        ScriptHooks::Which when;
        const char *text;
    } cases[] = {
        {30, sessionWithScripts(1, QStringLiteral("echo 'no volume.' >&2; exit 7"), 0, {}), ScriptHooks::kBefore,
         "Error running the first AppleScript of the session \"Photos\".\rError: 7.\rno volume"},
        {1, sessionWithScripts(0, {}, 1, QStringLiteral("sleep 30")), ScriptHooks::kAfter,
         "Error running the second AppleScript of the session \"Photos\"."
         "The script was stopped after running for 1 seconds"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        ScriptHooks hooks(asThisProcess(c.timeout));
        hooks.GetExecutiveAppleScripts({c.session}, false, 0, true);
        const auto e = hooks.ExecuteAppleScript(0, c.when, ScriptContext::fromSession(c.session, 0, 1));
        ASSERT_TRUE(e.has_value());
        EXPECT_EQ(e->text, QString::fromUtf8(c.text));
        // No script at the other end, nor for another session: nothing to run.
        const auto other = c.when == ScriptHooks::kBefore ? ScriptHooks::kAfter : ScriptHooks::kBefore;
        EXPECT_FALSE(hooks.ExecuteAppleScript(0, other, ScriptContext::fromSession(c.session, 0, 1)).has_value());
        EXPECT_FALSE(hooks.ExecuteAppleScript(5, c.when, ScriptContext::fromSession(c.session, 5, 1)).has_value());
    }
}

TEST(ScriptPanel, StoringRefusesAnEnabledScriptThatDoesNotCompileAndTryingGivesItsMessages)
{
    const QString bad = QStringLiteral("echo ok\nwhile true\necho never\n");
    ScriptPanelCheck c = ScriptHooks::GetAppleScriptPanes(false, bad, true, bad);
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(c.which, 2);
    EXPECT_TRUE(c.message.startsWith(QStringLiteral("Error compiling the second AppleScript.\rError: ")));
    ASSERT_GE(c.errorStart, 0);
    EXPECT_EQ(bad.mid(c.errorStart, c.errorLength), QStringLiteral("echo never"))
        << "an error at the end of the text points at its last line";
    EXPECT_TRUE(ScriptHooks::GetAppleScriptPanes(false, bad, false, bad).ok)
        << "disabled scripts are stored whatever they hold";
    EXPECT_TRUE(ScriptHooks::GetAppleScriptPanes(true, QString(), true, "true").ok);

    ScriptHooks hooks(asThisProcess());
    const ScriptContext context;
    EXPECT_EQ(hooks.AppleScriptTryExecute(1, QString(), context),
              QStringLiteral("Error compiling the first AppleScript.\rCannot compile an empty AppleScript text code."));
    EXPECT_TRUE(hooks.AppleScriptTryExecute(2, QStringLiteral("done"), context)
                    .startsWith(QStringLiteral("Error compiling the second AppleScript.\rError: ")));
    EXPECT_EQ(hooks.AppleScriptTryExecute(1, QStringLiteral("echo bad >&2; exit 2"), context),
              QStringLiteral("Error running the first AppleScript.\rError: 2.\rbad"));
    EXPECT_EQ(hooks.AppleScriptTryExecute(1, QStringLiteral("true"), context), QString());
}
