#pragma once
// The alerts a run may show. The desktop program shows real alerts; the
// command-line runner answers them as an unattended run would.
#include <QString>
#include <QStringList>

namespace qm {

enum class AlertStyle { Informational, Warning, Critical };

class UserQuestions {
public:
    virtual ~UserQuestions() = default;
    // Shows an alert and answers the index of the chosen button; the first
    // button is the default one.
    virtual int alert(AlertStyle style, const QString &title, const QString &message,
                      const QStringList &buttons) = 0;
    virtual void beep() {}
    // The progress-bar animation is paused while an error alert is open.
    virtual void setProgressAnimation(bool running) { (void)running; }
};

// Never asks anyone: the default button is the answer.
class UnattendedQuestions : public UserQuestions {
public:
    int alert(AlertStyle, const QString &, const QString &, const QStringList &) override { return 0; }
};

} // namespace qm
