#pragma once
// The console's main panel: the two folders with their drop panes, pick and
// open buttons, the arrow, the Execute button, the option buttons, the
// comment field and the progress bar. It shows what it is given and passes
// the user's actions on; it decides nothing.
#include "uimodel/ConsoleModel.h"

#include <QWidget>

#include <array>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QToolButton;

namespace qm {

class DropPane;

class ConsolePanel : public QWidget {
    Q_OBJECT
public:
    // The two sides, upper first.
    enum Side { Source = 0, Destination = 1 };
    // The option buttons, in the order of the console.
    enum Option { Timer, Multi, Filter, Exclude, Conflicts, Volumes, Settings, OptionCount };

    explicit ConsolePanel(QWidget *parent = nullptr);

    void show(const ConsoleView &view);
    QString comment() const;

    // Shortens a text to a field's width in its font.
    using Shortener = std::function<QString(const QString &text, int width, const QFontMetrics &font)>;
    void setShortener(Shortener shortener) { m_shorten = std::move(shortener); }
    // The field's shortened text, as shown.
    QString folderFieldText(int side) const;
    QLabel *commentField() const { return m_comment; }
    DropPane *dropPane(int side) const { return m_panes[side]; }
    QPushButton *executeButton() const { return m_execute; }
    QPushButton *pickButton(int side) const { return m_pick[side]; }
    QToolButton *openButton(int side) const { return m_open[side]; }
    QToolButton *optionButton(Option option) const { return m_options[option]; }
    QProgressBar *progressBar() const { return m_progress; }

Q_SIGNALS:
    void pickRequested(int side);
    // Modifiers: Ctrl reveals, Alt clears (each also in the button's menu).
    void openRequested(int side, Qt::KeyboardModifiers modifiers);
    void revealRequested(int side);
    void clearRequested(int side);
    void folderDropped(int side, const QString &path);
    void executeRequested();
    void optionRequested(ConsolePanel::Option option, Qt::KeyboardModifiers modifiers);
    void drawerToggled();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    std::array<DropPane *, 2> m_panes{};
    std::array<QLabel *, 2> m_fields{};
    std::array<QPushButton *, 2> m_pick{};
    std::array<QToolButton *, 2> m_open{};
    std::array<QToolButton *, OptionCount> m_options{};
    QLabel *m_arrow = nullptr;
    QPushButton *m_execute = nullptr;
    QLabel *m_comment = nullptr;
    QProgressBar *m_progress = nullptr;
    QToolButton *m_drawerButton = nullptr;
    ConsoleView m_view;
    Shortener m_shorten;

    void showFolders();
    void showComment();
    QWidget *makeFolderRow(int side);
};

} // namespace qm
