#include "ui/ScriptsWindow.h"

#include "platform/Messages.h"
#include "ui/Dialogs.h"
#include "uimodel/BackgroundJob.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace qm {

namespace {

QPlainTextEdit *scriptEdit(QWidget *parent, const char *name)
{
    auto *edit = new QPlainTextEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    return edit;
}

} // namespace

ScriptsWindow::ScriptsWindow(Dialogs &dialogs, QWidget *parent) : QDialog(parent), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("appleScript"));
    setWindowTitle(GLS("Scripts"));
    m_startOn = new QCheckBox(GLS("Run this script before the session"), this);
    m_startOn->setObjectName(QStringLiteral("asStartOn"));
    m_endOn = new QCheckBox(GLS("Run this script after the session"), this);
    m_endOn->setObjectName(QStringLiteral("asEndOn"));
    m_startText = scriptEdit(this, "asStartText");
    m_endText = scriptEdit(this, "asEndText");
    m_tryStart = new QPushButton(GLS("Try"), this);
    m_tryEnd = new QPushButton(GLS("Try"), this);
    connect(m_tryStart, &QPushButton::clicked, this, [this] { tryScript(1); });
    connect(m_tryEnd, &QPushButton::clicked, this, [this] { tryScript(2); });
    m_output = new QPlainTextEdit(this);
    m_output->setObjectName(QStringLiteral("output"));
    m_output->setReadOnly(true);
    m_output->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_output->setMaximumBlockCount(2000);
    m_output->setPlaceholderText(GLS("What a tried script writes appears here."));
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setWordWrap(true);
    m_busyBar = new QProgressBar(this);
    m_busyBar->setRange(0, 0);
    m_busyBar->setMaximumWidth(100);
    m_busyBar->hide();

    auto *cancel = new QPushButton(GLS("Cancel"), this);
    m_ok = new QPushButton(GLS("OK"), this);
    m_ok->setDefault(true);
    connect(cancel, &QPushButton::clicked, this, [this] { applyButton(0); });
    connect(m_ok, &QPushButton::clicked, this, [this] { applyButton(ScriptsForm::kConfirmTag); });

    auto *grid = new QGridLayout;
    grid->addWidget(m_startOn, 0, 0);
    grid->addWidget(m_tryStart, 0, 1, Qt::AlignRight);
    grid->addWidget(m_startText, 1, 0, 1, 2);
    grid->addWidget(m_endOn, 2, 0);
    grid->addWidget(m_tryEnd, 2, 1, Qt::AlignRight);
    grid->addWidget(m_endText, 3, 0, 1, 2);
    auto *statusRow = new QHBoxLayout;
    statusRow->addWidget(m_busyBar);
    statusRow->addWidget(m_status, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addWidget(m_ok);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid, 3);
    layout->addWidget(new QLabel(GLS("Output:"), this));
    layout->addWidget(m_output, 1);
    layout->addLayout(statusRow);
    layout->addLayout(buttons);
    resize(560, 520);
}

bool ScriptsWindow::openFor(std::function<QVariantMap &()> document)
{
    ScriptsForm form;
    if (!document || !form.SetAppleScriptPanes(document()))
        return false;
    m_document = std::move(document);
    m_startOn->setChecked(form.startOn);
    m_endOn->setChecked(form.endOn);
    m_startText->setPlainText(form.startText);
    m_endText->setPlainText(form.endText);
    m_output->clear();
    m_status->clear();
    open();
    return true;
}

ScriptsForm ScriptsWindow::formShown() const
{
    ScriptsForm form;
    form.startOn = m_startOn->isChecked();
    form.endOn = m_endOn->isChecked();
    form.startText = m_startText->toPlainText();
    form.endText = m_endText->toPlainText();
    return form;
}

void ScriptsWindow::applyButton(int tag)
{
    if (tag != ScriptsForm::kConfirmTag || !m_document) {
        done(tag);
        return;
    }
    const ScriptsApplyResult r = formShown().apply(tag, m_document());
    if (r.outcome == ScriptsApplyResult::Outcome::Refused) {
        QPlainTextEdit *text = r.check.which == 1 ? m_startText : m_endText;
        if (r.check.errorStart >= 0)
            selectRange(text, r.check.errorStart, r.check.errorLength);
        m_dialogs.alert(this, QMessageBox::Warning, GLS("Warning:"), r.check.message, {GLS("OK")});
        return;
    }
    done(tag);
}

void ScriptsWindow::selectRange(QPlainTextEdit *text, int start, int length)
{
    QTextCursor cursor = text->textCursor();
    cursor.setPosition(start);
    cursor.setPosition(start + length, QTextCursor::KeepAnchor);
    text->setTextCursor(cursor);
    text->ensureCursorVisible();
    text->setFocus();
}

void ScriptsWindow::setBusy(bool busy)
{
    m_busy = busy;
    m_busyBar->setVisible(busy);
    m_tryStart->setEnabled(!busy);
    m_tryEnd->setEnabled(!busy);
    if (busy)
        m_status->setText(GLS("Running the script…"));
}

void ScriptsWindow::tryScript(int tag)
{
    if (m_busy || !m_document)
        return;
    const QString text = (tag == 1 ? m_startText : m_endText)->toPlainText();
    const ScriptContext context = ScriptsForm::contextOf(m_document());
    const ScriptRunOptions options = tryOptions;
    m_output->clear();
    setBusy(true);
    runInBackground<ScriptTryResult>(
        this, [tag, text, context, options] { return ScriptsForm::tryScript(tag, text, context, options); },
        [this, tag](const ScriptTryResult &r) {
            setBusy(false);
            m_output->setPlainText(r.output);
            m_status->setText(r.message.isEmpty() ? GLS("The script ended without errors.") : displayText(r.message));
            if (!r.message.isEmpty()) {
                if (r.errorStart >= 0)
                    selectRange(tag == 1 ? m_startText : m_endText, r.errorStart, r.errorLength);
                m_dialogs.alert(this, QMessageBox::Warning, GLS("Warning:"), r.message, {GLS("OK")});
            }
            Q_EMIT tryFinished();
        });
}

} // namespace qm
