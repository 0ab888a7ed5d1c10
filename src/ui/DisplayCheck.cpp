#include "ui/DisplayCheck.h"

#include <QRegularExpression>

#include <cstring>
#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace qm {

namespace {

bool connectTo(const QByteArray &name, bool abstract)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const size_t offset = abstract ? 1 : 0;
    if (name.isEmpty() || size_t(name.size()) + offset >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path + offset, name.constData(), size_t(name.size()));
    const socklen_t length = socklen_t(offsetof(sockaddr_un, sun_path) + offset + size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), length) == 0;
    ::close(fd);
    return ok;
}

// Platforms that draw without any display server.
bool drawsWithoutServer(const QString &platform)
{
    static const QStringList own{"offscreen", "minimal", "vnc", "linuxfb", "eglfs", "vkkhrdisplay"};
    return own.contains(platform);
}

} // namespace

bool DisplayCheck::listening(const QString &path)
{
    const QByteArray name = path.toLocal8Bit();
    return connectTo(name, false) || connectTo(name, true);
}

bool DisplayCheck::x11Reachable(const QString &display, const SocketProbe &probe)
{
    if (display.isEmpty())
        return false;
    // ":N", ":N.S" and "unix:N" are local sockets; "host:N" goes over the
    // network, which only the connection itself can tell.
    static const QRegularExpression local(QStringLiteral("^(?:unix)?:(\\d+)(?:\\.\\d+)?$"));
    const QRegularExpressionMatch m = local.match(display);
    if (!m.hasMatch())
        return display.contains(u':');
    return probe(QStringLiteral("/tmp/.X11-unix/X") + m.captured(1));
}

bool DisplayCheck::waylandReachable(const QProcessEnvironment &env, const SocketProbe &probe)
{
    const QString name = env.value(QStringLiteral("WAYLAND_DISPLAY"));
    if (name.isEmpty())
        return false;
    if (name.startsWith(u'/'))
        return probe(name);
    const QString runtime = env.value(QStringLiteral("XDG_RUNTIME_DIR"));
    return !runtime.isEmpty() && probe(runtime + u'/' + name);
}

QString DisplayCheck::whyX11Refuses(const QProcessEnvironment &env)
{
    const QString platform = env.value(QStringLiteral("QT_QPA_PLATFORM"));
    if (!platform.isEmpty() && platform != u"xcb")
        return QString();
    void *xcb = ::dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!xcb)
        return QString(); // the toolkit will say what it misses
    using Connect = void *(*)(const char *, int *);
    using HasError = int (*)(void *);
    using Disconnect = void (*)(void *);
    const auto connect = reinterpret_cast<Connect>(::dlsym(xcb, "xcb_connect"));
    const auto hasError = reinterpret_cast<HasError>(::dlsym(xcb, "xcb_connection_has_error"));
    const auto disconnect = reinterpret_cast<Disconnect>(::dlsym(xcb, "xcb_disconnect"));
    QString why;
    if (connect && hasError && disconnect) {
        const QByteArray display = env.value(QStringLiteral("DISPLAY")).toLocal8Bit();
        void *c = connect(display.isEmpty() ? nullptr : display.constData(), nullptr);
        if (hasError(c))
            why = QStringLiteral("the display refused the connection (DISPLAY=%1); "
                                 "quillmere --batch DOCUMENT.qmy runs a document without one")
                      .arg(QString::fromLocal8Bit(display));
        disconnect(c);
    }
    ::dlclose(xcb);
    return why;
}

QString DisplayCheck::whyNoDisplay(const QProcessEnvironment &env, const SocketProbe &probe)
{
    // The platform may be a list tried in turn ("wayland;xcb").
    const QString wanted = env.value(QStringLiteral("QT_QPA_PLATFORM"));
    QStringList platforms;
    for (const QString &p : wanted.split(u';', Qt::SkipEmptyParts))
        platforms << p.section(u':', 0, 0).trimmed();
    // Unset, the toolkit starts its X11 platform (Wayland desktops run an
    // X server beside it).
    if (platforms.isEmpty())
        platforms = {QStringLiteral("xcb")};
    const QString display = env.value(QStringLiteral("DISPLAY"));
    for (const QString &p : platforms) {
        if (drawsWithoutServer(p))
            return QString();
        if (p == u"xcb" && x11Reachable(display, probe))
            return QString();
        if (p.startsWith(u"wayland") && waylandReachable(env, probe))
            return QString();
    }
    const QString batch = QStringLiteral("; quillmere --batch DOCUMENT.qmy runs a document without one");
    if (display.isEmpty() && env.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty())
        return QStringLiteral("no display to open a window on (DISPLAY and WAYLAND_DISPLAY are not set)") + batch;
    return QStringLiteral("cannot connect to the display (DISPLAY=%1, WAYLAND_DISPLAY=%2)")
               .arg(display, env.value(QStringLiteral("WAYLAND_DISPLAY")))
        + batch;
}

} // namespace qm
