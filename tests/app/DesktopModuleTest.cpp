// The desktop program as a module: found beside the executable or where it
// is installed, and every failure to load it ends the program with one line
// and the status of a failed start, never a crash.
#include "support/Files.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <dlfcn.h>

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

TEST(DesktopProgram, FindsItsModuleWhereverItIsOrEndsWithOneLine)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString prefix = dir.filePath("prefix"), alone = dir.filePath("alone"), broken = dir.filePath("broken"),
                  other = dir.filePath("other");
    QProcess install;
    install.start(QStringLiteral("cmake"), {"--install", QStringLiteral(QM_BINARY_DIR), "--prefix", prefix});
    ASSERT_TRUE(install.waitForFinished(120000));
    ASSERT_EQ(install.exitCode(), 0) << install.readAllStandardError().toStdString();
    for (const QString &d : {alone, broken, other}) {
        ASSERT_TRUE(QDir().mkpath(d));
        ASSERT_TRUE(QFile::copy(QStringLiteral(QM_EXECUTABLE), d + "/quillmere"));
    }
    ASSERT_TRUE(writeBytes(broken + "/quillmere-desktop.so", QByteArray(100, 'x')));
    ASSERT_TRUE(QFile::copy(qtCoreLibrary(), other + "/quillmere-desktop.so"));
    struct Case {
        const char *name;
        QString program;
        const char *says;
    } cases[] = {
        {"installed", prefix + "/bin/quillmere", "^quillmere: no display"},
        {"alone", alone + "/quillmere", "^quillmere: cannot load the desktop program: quillmere-desktop\\.so is missing"},
        {"beside a broken module", broken + "/quillmere",
         "^quillmere: cannot load the desktop program: .*/broken/quillmere-desktop\\.so: \\S"},
        {"beside another library", other + "/quillmere",
         "^quillmere: cannot load the desktop program: .*/other/quillmere-desktop\\.so: no entry point"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const Ran r = runWithoutDisplay(c.program);
        EXPECT_EQ(r.status, 2) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QRegularExpression(QString::fromLatin1(c.says)))) << r.err.toStdString();
        EXPECT_FALSE(r.err.contains(u'\n')) << r.err.toStdString();
    }
}
