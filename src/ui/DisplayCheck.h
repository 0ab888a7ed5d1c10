#pragma once
// Whether the desktop program can open a window here. The toolkit aborts
// when its platform cannot connect, so this is decided before it starts.
#include <QProcessEnvironment>
#include <QString>

#include <functional>

namespace qm {

class DisplayCheck {
public:
    // Answers whether a display server listens at a Unix socket path.
    using SocketProbe = std::function<bool(const QString &path)>;

    // Empty when a window can be opened; otherwise one line saying why.
    static QString whyNoDisplay(const QProcessEnvironment &env, const SocketProbe &probe = listening);
    // A stream connection to the socket succeeds (also the abstract name
    // the X server listens on beside its file).
    static bool listening(const QString &path);
    // When the toolkit would start on X11: empty when the X server accepts
    // a connection (authorization included), otherwise why not. Asked of
    // the X library itself, loaded only for this question.
    static QString whyX11Refuses(const QProcessEnvironment &env);

private:
    static bool x11Reachable(const QString &display, const SocketProbe &probe);
    static bool waylandReachable(const QProcessEnvironment &env, const SocketProbe &probe);
};

} // namespace qm
