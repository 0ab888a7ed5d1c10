#pragma once
// The Cancel, "Apply and Stay" and Apply buttons of a panel. Alt+Enter
// stands for "Apply and Stay", and Apply clicked with Alt held stays too.
#include <QString>

#include <functional>

class QHBoxLayout;
class QPushButton;
class QWidget;

namespace qm {

struct ApplyButtons {
    static constexpr int kApplyTag = 1;

    QPushButton *cancel = nullptr;
    QPushButton *stay = nullptr;
    QPushButton *apply = nullptr;
    QHBoxLayout *row = nullptr; // the three, right-aligned

    // `pressed` receives the button's tag (`cancelTag` or kApplyTag) and
    // whether the panel is to stay.
    static ApplyButtons make(QWidget *panel, const QString &stayToolTip, int cancelTag,
                             std::function<void(int tag, bool stay)> pressed);
};

} // namespace qm
