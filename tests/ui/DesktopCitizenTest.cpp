// The program as the Linux desktop sees it: no display, its files for the
// desktop, its images.
#include "ui/DisplayCheck.h"
#include "ui/Images.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(DisplayCheck, DecidesFromTheEnvironmentAndTheServerSocket)
{
    struct Case {
        const char *name;
        QStringList env;
        QStringList listening; // sockets that answer
        bool usable;
    };
    const Case cases[] = {
        {"nothing set", {}, {}, false},
        {"X display whose server answers", {"DISPLAY=:0"}, {"/tmp/.X11-unix/X0"}, true},
        {"X display with a screen number", {"DISPLAY=:1.0"}, {"/tmp/.X11-unix/X1"}, true},
        {"X display nobody serves", {"DISPLAY=:5"}, {"/tmp/.X11-unix/X0"}, false},
        {"remote X display", {"DISPLAY=host:0"}, {}, true},
        {"offscreen needs nothing", {"QT_QPA_PLATFORM=offscreen"}, {}, true},
        {"minimal needs nothing", {"QT_QPA_PLATFORM=minimal"}, {}, true},
        {"wayland asked, socket there",
         {"QT_QPA_PLATFORM=wayland", "WAYLAND_DISPLAY=wayland-0", "XDG_RUNTIME_DIR=/run/u"}, {"/run/u/wayland-0"}, true},
        {"wayland asked, no socket",
         {"QT_QPA_PLATFORM=wayland", "WAYLAND_DISPLAY=wayland-0", "XDG_RUNTIME_DIR=/run/u"}, {}, false},
        {"list falls back to X", {"QT_QPA_PLATFORM=wayland;xcb", "DISPLAY=:0"}, {"/tmp/.X11-unix/X0"}, true},
        {"xcb asked, only wayland",
         {"QT_QPA_PLATFORM=xcb", "WAYLAND_DISPLAY=wayland-0", "XDG_RUNTIME_DIR=/run/u"}, {"/run/u/wayland-0"}, false},
    };
    for (const Case &c : cases) {
        QProcessEnvironment env;
        for (const QString &kv : c.env)
            env.insert(kv.section(u'=', 0, 0), kv.section(u'=', 1));
        const QString why =
            DisplayCheck::whyNoDisplay(env, [&c](const QString &p) { return c.listening.contains(p); });
        EXPECT_EQ(why.isEmpty(), c.usable) << c.name << ": " << why.toStdString();
        if (!c.usable) {
            EXPECT_TRUE(why.contains(QStringLiteral("--batch"))) << c.name;
            EXPECT_FALSE(why.contains(u'\n')) << c.name;
        }
    }
}

TEST(DesktopProgram, WithoutADisplaySaysWhyOnOneLineAndExitsTwo)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(v));
    env.insert(QStringLiteral("HOME"), QDir::tempPath());
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(QM_EXECUTABLE), QStringList());
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit); // not aborted by the toolkit
    EXPECT_EQ(p.exitCode(), 2);
    const QString err = QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
    EXPECT_EQ(err.count(u'\n'), 0) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("--batch"))) << err.toStdString();
}

TEST(DesktopFiles, PassTheDesktopsOwnValidators)
{
    struct Check {
        const char *tool;
        QStringList args;
    };
    const QString res = QStringLiteral(QM_SOURCE_DIR "/resources/");
    const Check checks[] = {
        {"desktop-file-validate", {res + "quillmere.desktop"}},
        {"appstreamcli", {"validate", "--no-net", res + "org.brantwick.Quillmere.metainfo.xml"}},
    };
    for (const Check &c : checks) {
        const QString tool = QStandardPaths::findExecutable(QString::fromLatin1(c.tool));
        if (tool.isEmpty()) {
            ADD_FAILURE() << c.tool << " is not installed (tools/setup.sh installs it)";
            continue;
        }
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(tool, c.args);
        ASSERT_TRUE(p.waitForFinished(30000)) << c.tool;
        EXPECT_EQ(p.exitCode(), 0) << c.tool << ": " << p.readAll().toStdString();
    }
}

TEST(NamedImages, EveryImageTheConsoleNamesIsCompiledIn)
{
    const char *const names[] = {"OrangeArrow", "GrayArrow", "icnWatchOnBtn", "icnWatchOffBtn",
                                 "icnMultiOnBtn", "icnMultiOffBtn", "icnFilterOnBtn", "icnFilterOffBtn",
                                 "icnExcludeOnBtn", "icnExcludeOffBtn", "icnAutoMountOnBtn",
                                 "icnAutoMountOffBtn", "TriangleDown_Up", "TriangleRight_Up",
                                 "icnConflictBtn", "icnSettingsBtn"};
    for (const char *name : names)
        EXPECT_FALSE(namedPixmap(QString::fromLatin1(name), QSize(16, 16)).isNull()) << name;
    EXPECT_FALSE(applicationIcon().pixmap(64, 64).isNull());
}

} // namespace
} // namespace qm
