#include "ui/PreferencesWindow.h"

#include "app/Preferences.h"
#include "platform/Messages.h"
#include "ui/DesktopQuestions.h"
#include "ui/DesktopShell.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace qm {

namespace {

int intPref(const QVariantMap &prefs, const char *key, int fallback = 0)
{
    return Preferences::intValue(prefs, key, fallback);
}

} // namespace

PreferencesWindow::PreferencesWindow(QVariantMap &prefs, const AppPaths &paths, DesktopQuestions &questions,
                                     QWidget *parent)
    : QDialog(parent), m_prefs(prefs), m_paths(paths), m_questions(questions)
{
    setObjectName(QStringLiteral("preferences"));
    setWindowTitle(GLS("Preferences"));
    m_tabs = new QTabWidget(this);
    m_tabs->addTab(generalTab(), GLS("General"));
    m_tabs->widget(0)->setObjectName(QStringLiteral("General"));
    m_tabs->addTab(logTab(), GLS("Log"));
    m_tabs->widget(1)->setObjectName(QStringLiteral("Log"));
    m_tabs->addTab(mailTab(), GLS("Email"));
    m_tabs->widget(2)->setObjectName(QStringLiteral("Email"));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &PreferencesWindow::PrefApply);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(buttons);
    for (const char *key : {"prefSaveLogFile", "prefDeleteLogsOn", "prefSendEmail", "prefModificationDelta"})
        connect(m_boxes.value(key), &QCheckBox::toggled, this, &PreferencesWindow::applyEnabling);
    connect(m_transport, &QComboBox::currentIndexChanged, this, &PreferencesWindow::applyEnabling);
    PrefSet();
}

QCheckBox *PreferencesWindow::addBox(const char *key, const QString &title)
{
    auto *b = new QCheckBox(title);
    b->setObjectName(QString::fromLatin1(key));
    m_boxes.insert(key, b);
    return b;
}

QButtonGroup *PreferencesWindow::addGroup(const char *key, QWidget *owner, const QList<QPair<int, QString>> &choices,
                                          QBoxLayout *into)
{
    auto *g = new QButtonGroup(owner);
    g->setObjectName(QString::fromLatin1(key));
    for (const auto &[tag, title] : choices) {
        auto *r = new QRadioButton(title, owner);
        g->addButton(r, tag);
        into->addWidget(r);
    }
    m_groups.insert(key, g);
    return g;
}

QLineEdit *PreferencesWindow::addField(const char *key)
{
    auto *f = new QLineEdit;
    f->setObjectName(QString::fromLatin1(key));
    m_fields.insert(key, f);
    return f;
}

QWidget *PreferencesWindow::generalTab()
{
    auto *tab = new QWidget;
    auto *v = new QVBoxLayout(tab);
    v->addWidget(addBox("prefSyncAndQuit", GLS("Sync And Quit")));
    v->addWidget(addBox("prefAskConfirmation", GLS("Ask for confirmation")));
    v->addWidget(addBox("prefPreview", GLS("Preview")));
    v->addWidget(addBox("prefBeepWhenDone", GLS("Beep when done")));
    v->addWidget(addBox("prefShutDown", GLS("Shut down when done")));
    v->addWidget(new QLabel(GLS("On error:")));
    auto *errors = new QVBoxLayout;
    errors->setContentsMargins(20, 0, 0, 0);
    addGroup("prefOnError", tab,
             {{2, GLS("Skip and continue")}, {3, GLS("Ask whether to continue")}, {1, GLS("Stop with an alert")},
              {4, GLS("Stop without an alert")}},
             errors);
    v->addLayout(errors);
    v->addWidget(addBox("prefRoot", GLS("Run as root")));
    auto *delta = new QHBoxLayout;
    delta->addWidget(addBox("prefModificationDelta", GLS("Modification date tolerance (seconds):")));
    m_delta = new QSpinBox(tab);
    m_delta->setObjectName(QStringLiteral("prefModificationDeltaField"));
    m_delta->setRange(0, 3600);
    delta->addWidget(m_delta);
    delta->addStretch();
    v->addLayout(delta);
    v->addStretch();
    return tab;
}

QWidget *PreferencesWindow::logTab()
{
    auto *tab = new QWidget;
    auto *v = new QVBoxLayout(tab);
    v->addWidget(addBox("prefSaveLogFile", GLS("Save log file")));
    auto *when = new QHBoxLayout;
    when->setContentsMargins(20, 0, 0, 0);
    addGroup("prefSaveLogFileWhen", tab, {{2, GLS("only on errors")}, {1, GLS("always")}}, when);
    when->addStretch();
    v->addLayout(when);
    auto *format = new QHBoxLayout;
    format->addWidget(new QLabel(GLS("Log file format:")));
    addGroup("prefLogFileFormat", tab, {{1, GLS("Rich text (RTF)")}, {2, GLS("Plain text")}}, format);
    format->addStretch();
    v->addLayout(format);
    auto *kind = new QHBoxLayout;
    kind->addWidget(new QLabel(GLS("Log kind:")));
    addGroup("prefLogKind", tab, {{2, GLS("Detailed")}, {3, GLS("Errors only")}, {1, GLS("Summary only")}}, kind);
    kind->addStretch();
    v->addLayout(kind);
    auto *folder = new QHBoxLayout;
    folder->addWidget(new QLabel(GLS("Log folder:")));
    m_logFolder = new QLabel(tab);
    m_logFolder->setObjectName(QStringLiteral("prefPathLogFolder"));
    m_logFolder->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_logFolder->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    folder->addWidget(m_logFolder, 1);
    auto *choose = new QPushButton(GLS("Choose") + QStringLiteral("…"), tab);
    connect(choose, &QPushButton::clicked, this, &PreferencesWindow::chooseLogFolder);
    auto *open = new QPushButton(GLS("Open"), tab);
    connect(open, &QPushButton::clicked, this, &PreferencesWindow::openLogFolder);
    folder->addWidget(choose);
    folder->addWidget(open);
    v->addLayout(folder);
    auto *age = new QHBoxLayout;
    age->addWidget(addBox("prefDeleteLogsOn", GLS("Delete old log files:")));
    m_deleteUnit = new QComboBox(tab);
    m_deleteUnit->setObjectName(QStringLiteral("prefDeleteLogsPop"));
    m_deleteUnit->addItem(GLS("older than (days)"), 0);
    m_deleteUnit->addItem(GLS("beyond the most recent"), 1);
    age->addWidget(m_deleteUnit);
    m_deleteAge = new QSpinBox(tab);
    m_deleteAge->setObjectName(QStringLiteral("prefDeleteLogsField"));
    m_deleteAge->setRange(0, 100000);
    age->addWidget(m_deleteAge);
    age->addStretch();
    v->addLayout(age);
    v->addStretch();
    return tab;
}

QWidget *PreferencesWindow::mailTab()
{
    auto *tab = new QWidget;
    auto *v = new QVBoxLayout(tab);
    v->addWidget(addBox("prefSendEmail", GLS("Send email")));
    auto *when = new QHBoxLayout;
    when->setContentsMargins(20, 0, 0, 0);
    addGroup("prefSendEmailWhen", tab, {{2, GLS("only on errors")}, {1, GLS("always")}}, when);
    when->addStretch();
    v->addLayout(when);
    auto *form = new QFormLayout;
    form->addRow(GLS("Email address:"), addField("prefSendEmailAddress"));
    m_transport = new QComboBox(tab);
    m_transport->setObjectName(QStringLiteral("prefSendEmailTransport"));
    m_transport->addItem(GLS("The sendmail program"), 1);
    m_transport->addItem(GLS("An SMTP server"), 2);
    form->addRow(GLS("Send with:"), m_transport);
    form->addRow(GLS("sendmail program:"), addField("prefSendmailPath"));
    form->addRow(GLS("SMTP server:"), addField("prefSmtpHost"));
    m_port = new QSpinBox(tab);
    m_port->setObjectName(QStringLiteral("prefSmtpPort"));
    m_port->setRange(1, 65535);
    form->addRow(GLS("Port:"), m_port);
    m_security = new QComboBox(tab);
    m_security->setObjectName(QStringLiteral("prefSmtpSecurity"));
    m_security->addItem(GLS("None"), 0);
    m_security->addItem(QStringLiteral("STARTTLS"), 1);
    m_security->addItem(QStringLiteral("TLS"), 2);
    form->addRow(GLS("Security:"), m_security);
    form->addRow(GLS("User:"), addField("prefSmtpUser"));
    QLineEdit *password = addField("prefSmtpPassword");
    password->setEchoMode(QLineEdit::Password);
    auto *passwordRow = new QVBoxLayout;
    passwordRow->addWidget(password);
    auto *note = new QLabel(GLS("Kept as plain text in the preferences file."), tab);
    note->setStyleSheet(QStringLiteral("color: gray"));
    passwordRow->addWidget(note);
    form->addRow(GLS("Password:"), passwordRow);
    form->addRow(GLS("Sender:"), addField("prefSmtpFrom"));
    v->addLayout(form);
    v->addStretch();
    return tab;
}

QCheckBox *PreferencesWindow::box(const char *key) const
{
    return m_boxes.value(key);
}

QButtonGroup *PreferencesWindow::group(const char *key) const
{
    return m_groups.value(key);
}

QLineEdit *PreferencesWindow::field(const char *key) const
{
    return m_fields.value(key);
}

void PreferencesWindow::PrefSet()
{
    for (auto it = m_boxes.cbegin(); it != m_boxes.cend(); ++it)
        it.value()->setChecked(intPref(m_prefs, it.key().constData()) == 1);
    for (auto it = m_groups.cbegin(); it != m_groups.cend(); ++it)
        if (QAbstractButton *b = it.value()->button(intPref(m_prefs, it.key().constData())))
            b->setChecked(true);
    for (auto it = m_fields.cbegin(); it != m_fields.cend(); ++it)
        it.value()->setText(m_prefs.value(QString::fromLatin1(it.key())).toString());
    if (m_fields.value("prefSendmailPath")->text().isEmpty())
        m_fields.value("prefSendmailPath")->setText(QStringLiteral("/usr/sbin/sendmail"));
    m_deleteUnit->setCurrentIndex(std::max(0, m_deleteUnit->findData(intPref(m_prefs, "prefDeleteLogsPop"))));
    m_deleteAge->setValue(intPref(m_prefs, "prefDeleteLogsField", 7));
    m_delta->setValue(intPref(m_prefs, "prefModificationDeltaField", 10));
    m_transport->setCurrentIndex(std::max(0, m_transport->findData(intPref(m_prefs, "prefSendEmailTransport", 1))));
    m_security->setCurrentIndex(std::max(0, m_security->findData(intPref(m_prefs, "prefSmtpSecurity", 1))));
    m_port->setValue(intPref(m_prefs, "prefSmtpPort", 587));
    m_logFolder->setText(m_prefs.value("prefPathLogFolder", m_paths.defaultLogFolder).toString());
    m_rootAtOpen = intPref(m_prefs, "prefRoot");
    for (int i = 0; i < m_tabs->count(); ++i)
        if (m_tabs->widget(i)->objectName() == m_prefs.value("prefTabViewIdentifier").toString())
            m_tabs->setCurrentIndex(i);
    applyEnabling();
}

void PreferencesWindow::applyEnabling()
{
    const bool save = m_boxes.value("prefSaveLogFile")->isChecked();
    const bool prune = m_boxes.value("prefDeleteLogsOn")->isChecked();
    const bool mail = m_boxes.value("prefSendEmail")->isChecked();
    for (const char *key : {"prefSaveLogFileWhen", "prefLogFileFormat"})
        for (QAbstractButton *b : m_groups.value(key)->buttons())
            b->setEnabled(save);
    m_boxes.value("prefDeleteLogsOn")->setEnabled(save);
    m_deleteUnit->setEnabled(save && prune);
    m_deleteAge->setEnabled(save && prune);
    m_fields.value("prefSendEmailAddress")->setEnabled(mail);
    for (QAbstractButton *b : m_groups.value("prefSendEmailWhen")->buttons())
        b->setEnabled(mail);
    m_delta->setEnabled(m_boxes.value("prefModificationDelta")->isChecked());
    const bool smtp = m_transport->currentData().toInt() == 2;
    m_fields.value("prefSendmailPath")->setEnabled(!smtp);
    for (QWidget *w : std::initializer_list<QWidget *>{m_fields.value("prefSmtpHost"), m_port, m_security,
                                                       m_fields.value("prefSmtpUser"),
                                                       m_fields.value("prefSmtpPassword"), m_fields.value("prefSmtpFrom")})
        w->setEnabled(smtp);
}

bool PreferencesWindow::PrefGet()
{
    if (m_boxes.value("prefSendEmail")->isChecked()) {
        const QString refusal = Preferences::checkMailAddress(m_fields.value("prefSendEmailAddress")->text());
        if (!refusal.isEmpty()) {
            m_questions.warn(DocumentQuestions::AlertKind::Plain, refusal);
            return false;
        }
    }
    const QString ageRefusal = Preferences::checkDeleteLogsField(m_deleteAge->value());
    if (!ageRefusal.isEmpty()) {
        m_questions.warn(DocumentQuestions::AlertKind::Plain, ageRefusal);
        m_deleteAge->setValue(1);
        m_deleteAge->selectAll();
        m_deleteAge->setFocus();
        return false;
    }
    for (auto it = m_boxes.cbegin(); it != m_boxes.cend(); ++it)
        m_prefs.insert(QString::fromLatin1(it.key()), qlonglong(it.value()->isChecked() ? 1 : 0));
    for (auto it = m_groups.cbegin(); it != m_groups.cend(); ++it)
        if (it.value()->checkedId() != -1)
            m_prefs.insert(QString::fromLatin1(it.key()), qlonglong(it.value()->checkedId()));
    m_prefs.insert("prefDeleteLogsPop", qlonglong(m_deleteUnit->currentData().toInt()));
    m_prefs.insert("prefDeleteLogsField", qlonglong(m_deleteAge->value()));
    m_prefs.insert("prefModificationDeltaField", qlonglong(m_delta->value()));
    m_prefs.insert("prefPathLogFolder", m_logFolder->text());
    for (auto it = m_fields.cbegin(); it != m_fields.cend(); ++it)
        m_prefs.insert(QString::fromLatin1(it.key()), it.value()->text());
    m_prefs.insert("prefSendEmailTransport", qlonglong(m_transport->currentData().toInt()));
    m_prefs.insert("prefSmtpSecurity", qlonglong(m_security->currentData().toInt()));
    m_prefs.insert("prefSmtpPort", qlonglong(m_port->value()));
    m_prefs.insert("prefTabViewIdentifier", m_tabs->currentWidget()->objectName());
    return true;
}

void PreferencesWindow::PrefApply()
{
    // A changed run-as-root box is compared with what the window opened
    // with; the change of privileges itself is not offered yet.
    if (!PrefGet())
        return;
    Preferences::write(m_paths, m_prefs);
    accept();
}

bool PreferencesWindow::rootChanged() const
{
    return intPref(m_prefs, "prefRoot") != m_rootAtOpen;
}

void PreferencesWindow::chooseLogFolder()
{
    const QString chosen = m_questions.dialogs().chooseFolder(this, GLS("Log folder:"), m_logFolder->text());
    if (!chosen.isEmpty())
        m_logFolder->setText(QDir::cleanPath(chosen));
}

void PreferencesWindow::openLogFolder()
{
    if (!m_logFolder->text().isEmpty())
        DesktopShell::reveal(m_logFolder->text());
}

} // namespace qm
