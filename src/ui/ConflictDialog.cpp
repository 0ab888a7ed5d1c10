#include "ui/ConflictDialog.h"

#include "fs/LPUtilities.h"
#include "platform/Messages.h"
#include "ui/Images.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace qm {
namespace {

QString shown(QString text)
{
    return text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

} // namespace

ConflictDialog::ConflictDialog(const ConflictQuestion &question, QWidget *parent)
    : QDialog(parent), m_model(question)
{
    openFile = [](const QString &path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
    revealItem = [](const QString &path) { LPUtilities().OpenFolder(path); };
    const ConflictText &t = m_model.texts();
    setWindowTitle(t.windowTitle);
    setModal(true);

    auto *icon = new QLabel(this);
    icon->setPixmap(namedImage(t.icon).pixmap(32, 32));
    icon->setToolTip(t.iconTip);
    m_explanation = new QLabel(shown(t.explanation), this);
    m_explanation->setWordWrap(true);

    auto *sides = new QGridLayout;
    m_inspectSource = new QPushButton(GLS("Open"), this);
    m_inspectDest = new QPushButton(GLS("Open"), this);
    m_inspectSource->setEnabled(m_model.sourceInspectEnabled());
    m_inspectDest->setEnabled(m_model.destInspectEnabled());
    const struct {
        QString caption, path, date;
        QPushButton *inspect;
    } rows[] = {{GLS("Source"), question.source, t.sourceDate, m_inspectSource},
                {GLS("Destination"), question.dest, t.destDate, m_inspectDest}};
    int r = 0;
    for (const auto &row : rows) {
        auto *path = new QLabel(QStringLiteral("\"") + row.path + QStringLiteral("\""), this);
        path->setTextInteractionFlags(Qt::TextSelectableByMouse);
        path->setWordWrap(true);
        sides->addWidget(new QLabel(row.caption + QLatin1Char(':'), this), r, 0, Qt::AlignTop);
        sides->addWidget(path, r, 1);
        sides->addWidget(row.inspect, r, 2, Qt::AlignTop);
        sides->addWidget(new QLabel(row.date, this), r + 1, 1);
        r += 2;
    }
    sides->setColumnStretch(1, 1);
    connect(m_inspectSource, &QPushButton::clicked, this, [this] {
        if (QFileInfo::exists(m_model.question().source))
            openFile(m_model.question().source);
    });
    connect(m_inspectDest, &QPushButton::clicked, this, [this] {
        if (QFileInfo::exists(m_model.question().dest))
            openFile(m_model.question().dest);
    });

    auto *revealBoth = new QPushButton(GLS("Show in File Manager"), this);
    connect(revealBoth, &QPushButton::clicked, this, [this] {
        for (const QString &path : {m_model.question().source, m_model.question().dest})
            if (QFileInfo::exists(path))
                revealItem(path);
    });
    m_direction = new QPushButton(this);
    m_direction->setVisible(m_model.directionButtonShown());
    m_direction->setEnabled(m_model.directionButtonShown());
    m_direction->setIcon(namedImage(m_model.directionImage()));
    m_direction->setToolTip(t.changeDirectionTip);
    connect(m_direction, &QPushButton::clicked, this, &ConflictDialog::ChangeDirection);

    m_stopButton = new QPushButton(GLS("Stop"), this);
    m_skip = new QPushButton(t.skipTitle, this);
    m_skip->setToolTip(t.skipTip);
    m_ok = new QPushButton(t.okTitle, this);
    m_ok->setToolTip(t.okTip);
    m_ok->setDefault(true);
    connect(m_stopButton, &QPushButton::clicked, this, [this] { end(ConflictDialogModel::Stop); });
    connect(m_skip, &QPushButton::clicked, this, [this] { end(ConflictDialogModel::Skip); });
    connect(m_ok, &QPushButton::clicked, this, [this] { end(ConflictDialogModel::Replace); });

    auto *top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addWidget(m_explanation, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(revealBoth);
    buttons->addWidget(m_direction);
    buttons->addStretch(1);
    buttons->addWidget(m_stopButton);
    buttons->addWidget(m_skip);
    buttons->addWidget(m_ok);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(sides);
    layout->addLayout(buttons);
}

QString ConflictDialog::explanation() const
{
    return m_explanation->text();
}

void ConflictDialog::ChangeDirection()
{
    if (m_model.ChangeDirection())
        m_direction->setIcon(namedImage(m_model.directionImage()));
}

void ConflictDialog::end(ConflictDialogModel::Button button)
{
    m_answer = button;
    done(m_model.dialogCode(button));
}

ConflictReply ConflictDialog::reply() const
{
    // Closing the window without a button leaves the files as they are.
    return m_model.reply(m_answer.value_or(ConflictDialogModel::Skip));
}

ConflictReply ConflictDialog::ask(const ConflictQuestion &question, QWidget *parent)
{
    ConflictDialog dialog(question, parent);
    dialog.exec();
    return dialog.reply();
}

} // namespace qm
