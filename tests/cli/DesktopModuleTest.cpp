// The desktop program as a module: found beside the executable or where it
// is installed, loaded only when the desktop opens, and every failure to load
// it ends the program with one line and the status of a failed start.
#include "cli/DesktopModule.h"
#include "support/Files.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <dlfcn.h>

using namespace qm;
using namespace qmtest;

namespace {

QString qtCoreLibrary()
{
    Dl_info info{};
    return ::dladdr(reinterpret_cast<void *>(&qVersion), &info) && info.dli_fname
               ? QString::fromLocal8Bit(info.dli_fname)
               : QString();
}

struct Ran {
    int status = -1;
    QString err;
};

// Without a display, the desktop program ends at its display check: reaching
// that line proves the module was found, loaded and entered.
Ran runWithoutDisplay(const QString &program)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(v));
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, QStringList());
    if (!p.waitForFinished(30000))
        return {};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromLocal8Bit(p.readAllStandardError()).trimmed()};
}

} // namespace

TEST(DesktopModule, LoadsTheFirstModuleThatExistsOrSaysWhyNot)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString missing = dir.filePath("missing.so"), text = dir.filePath("text.so");
    ASSERT_TRUE(writeBytes(text, "not a library\n"));
    struct Case {
        const char *name;
        QStringList candidates;
        bool loads;
        QString why; // a pattern of the reason
    } cases[] = {
        {"the built module", {QStringLiteral(QM_DESKTOP_MODULE)}, true, {}},
        {"installed copy when none is beside", {missing, QStringLiteral(QM_DESKTOP_MODULE)}, true, {}},
        {"none anywhere", {missing, missing + "2"}, false, "is missing .*missing\\.so, .*missing\\.so2"},
        {"not a library", {text, QStringLiteral(QM_DESKTOP_MODULE)}, false, "^.*/text\\.so: \\S"},
        {"a library without the entry point", {qtCoreLibrary()}, false, "no entry point quillmere_desktop_main"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QString why;
        const DesktopModule::Entry entry = DesktopModule::load(c.candidates, &why);
        EXPECT_EQ(entry != nullptr, c.loads) << why.toStdString();
        if (!c.loads) {
            EXPECT_TRUE(why.contains(QRegularExpression(c.why))) << why.toStdString();
            EXPECT_FALSE(why.contains(u'\n'));
        }
    }
}

TEST(DesktopModule, ASetUserIdProgramLoadsOnlyAModuleNobodyButRootCanChange)
{
    struct Case {
        uid_t owner;
        mode_t mode;
        bool trusted;
    } cases[] = {
        {0, S_IFREG | 0644, true},  {0, S_IFREG | 0755, true},   {1000, S_IFREG | 0644, false},
        {0, S_IFREG | 0664, false}, {0, S_IFREG | 0646, false}, {0, S_IFDIR | 0755, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(DesktopModule::whyUntrusted(c.owner, c.mode).isEmpty(), c.trusted)
            << "owner " << c.owner << " mode " << std::oct << c.mode;
}

TEST(DesktopProgram, FindsItsModuleWhereverItIsOrEndsWithOneLine)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString prefix = dir.filePath("prefix"), alone = dir.filePath("alone"), broken = dir.filePath("broken");
    QProcess install;
    install.start(QStringLiteral("cmake"), {"--install", QStringLiteral(QM_BINARY_DIR), "--prefix", prefix});
    ASSERT_TRUE(install.waitForFinished(120000));
    ASSERT_EQ(install.exitCode(), 0) << install.readAllStandardError().toStdString();
    for (const QString &d : {alone, broken}) {
        ASSERT_TRUE(QDir().mkpath(d));
        ASSERT_TRUE(QFile::copy(QStringLiteral(QM_EXECUTABLE), d + "/quillmere"));
    }
    ASSERT_TRUE(writeBytes(broken + "/quillmere-desktop.so", QByteArray(100, 'x')));
    struct Case {
        const char *name;
        QString program;
        const char *says;
    } cases[] = {
        {"installed", prefix + "/bin/quillmere", "^quillmere: no display"},
        {"alone", alone + "/quillmere", "^quillmere: cannot load the desktop program: quillmere-desktop\\.so is missing"},
        {"beside a broken module", broken + "/quillmere",
         "^quillmere: cannot load the desktop program: .*/broken/quillmere-desktop\\.so: \\S"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const Ran r = runWithoutDisplay(c.program);
        EXPECT_EQ(r.status, 2) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QRegularExpression(QString::fromLatin1(c.says)))) << r.err.toStdString();
        EXPECT_FALSE(r.err.contains(u'\n')) << r.err.toStdString();
    }
}
