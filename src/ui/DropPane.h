#pragma once
// A pane that takes folders dropped from the file manager. Whether a drop
// is welcome is asked of the owner at the moment of the drag.
#include <QFrame>

#include <functional>

namespace qm {

class DropPane : public QFrame {
    Q_OBJECT
public:
    explicit DropPane(QWidget *parent = nullptr);
    void setAcceptance(std::function<bool()> accepts) { m_accepts = std::move(accepts); }
    bool isHovered() const { return m_hovered; }

Q_SIGNALS:
    void dropped(const QString &path);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    std::function<bool()> m_accepts;
    bool m_hovered = false;
};

} // namespace qm
