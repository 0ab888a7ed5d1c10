#pragma once
// The preview: the plan of a run as a tree, edited in place before the
// copy. Modal; Continue ends it with 100, Stop with 99.
#include "engine/RunPlan.h"
#include "uimodel/PreviewModel.h"

#include <QDialog>

#include <array>
#include <functional>

class QLabel;
class QPushButton;
class QTreeView;

namespace qm {

class PreviewWindow : public QDialog {
    Q_OBJECT
public:
    enum Code { ContinueCode = 100, StopCode = 99 };
    // Keeps the window's frame under "PreviewWindowFrame" (the desktop's
    // frame store); either may be empty.
    struct FrameKeeper {
        std::function<void(QWidget *, const QString &)> restore;
        std::function<void(const QWidget *, const QString &)> save;
    };

    explicit PreviewWindow(RunPlan &plan, QWidget *parent = nullptr, FrameKeeper frames = {});
    ~PreviewWindow() override;

    // ShowPreview: shows the plan modally; true = Continue.
    static bool run(RunPlan &plan, QWidget *parent = nullptr, FrameKeeper frames = {});

    // ClickTheRow with the keyboard modifiers of the click.
    void clickRow(const QModelIndex &index, Qt::KeyboardModifiers modifiers);
    // OpenFile / RevealInFinder for a side (true = source).
    void openSide(bool source);
    void revealSide(bool source);

    QTreeView *outline() const { return m_view; }
    PreviewModel *model() const { return m_model; }
    QPushButton *continueButton() const { return m_continue; }
    QPushButton *stopButton() const { return m_stop; }
    QString counterText(int field) const;
    QString infoText(bool source, int field) const; // 0 name .. 4 path

    // The shell around the window, replaceable in tests.
    std::function<void()> beep;
    std::function<void(const QString &path)> openFile;
    std::function<void(const QString &path)> revealItem;
    std::function<void(const QString &title, const QString &message)> alert;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void done(int code) override;

private:
    struct InfoBox;
    QWidget *makeInfoBox(InfoBox &box, const QString &title, bool source);
    QWidget *makeCounters();
    void RefreshInfoFileBoxes();
    void refreshCounters();
    void fitColumns();
    void showContextMenu(const QPoint &pos);
    QModelIndex selectedRow() const;
    bool sideAction(bool source, QString *path);

    RunPlan &m_plan;
    FrameKeeper m_frames;
    PreviewModel *m_model = nullptr;
    QTreeView *m_view = nullptr;
    std::array<QLabel *, 6> m_counters{};
    InfoBox *m_boxes = nullptr; // [0] source, [1] destination
    QPushButton *m_continue = nullptr;
    QPushButton *m_stop = nullptr;
};

} // namespace qm
