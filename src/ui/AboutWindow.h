#pragma once
// The About window: the launch splash for three seconds, and modal from the menu.
#include <QDialog>

namespace qm {

class AboutWindow : public QDialog {
    Q_OBJECT
public:
    static constexpr int kSplashMilliseconds = 3000;

    explicit AboutWindow(QWidget *parent = nullptr);
    // Shown without a frame; closes itself after the splash time, or at a click.
    void showAsSplash(int milliseconds = kSplashMilliseconds);

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    bool m_splash = false;
};

} // namespace qm
