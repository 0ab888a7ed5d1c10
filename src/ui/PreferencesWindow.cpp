#include "ui/PreferencesWindow.h"

#include "app/Preferences.h"
#include "platform/Messages.h"
#include "ui/DesktopQuestions.h"
#include "ui/DesktopShell.h"
#include "ui/PrivilegeAlerts.h"

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

constexpr int kOkTag = 1;

QHBoxLayout *row(std::initializer_list<QWidget *> widgets)
{
    auto *h = new QHBoxLayout;
    for (QWidget *w : widgets)
        h->addWidget(w);
    h->addStretch();
    return h;
}

} // namespace

PreferencesWindow::PreferencesWindow(QVariantMap &prefs, const AppPaths &paths, DesktopQuestions &questions,
                                     SecretStore &secrets, bool euidRoot, QWidget *parent)
    : QDialog(parent), m_prefs(prefs), m_paths(paths), m_questions(questions),
      m_form(secrets, [this](bool root) { m_rootChange = root; }), m_euidRoot(euidRoot)
{
    setObjectName(QStringLiteral("preferences"));
    setWindowTitle(GLS("Preferences"));
    m_tabs = new QTabWidget(this);
    const std::pair<QWidget *, const char *> tabs[] = {
        {generalTab(), "General"}, {logTab(), "Log"}, {mailTab(), "Email"}};
    for (const auto &[page, id] : tabs) {
        page->setObjectName(QString::fromLatin1(id));
        m_tabs->addTab(page, GLS(id));
    }
    connect(m_tabs, &QTabWidget::currentChanged, this,
            [this] { m_form.values().tab = m_tabs->currentWidget()->objectName(); });
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &PreferencesWindow::PrefApply);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(buttons);
    PrefSet();
}

QCheckBox *PreferencesWindow::box(const char *key, const QString &title, bool PreferencesValues::*value)
{
    auto *b = new QCheckBox(title);
    b->setObjectName(QString::fromLatin1(key));
    connect(b, &QCheckBox::toggled, this, [this, value](bool on) {
        m_form.values().*value = on;
        applyEnabling();
    });
    m_shows.push_back([this, b, value] { b->setChecked(m_form.values().*value); });
    return b;
}

QWidget *PreferencesWindow::radios(const char *key, const QList<Choice> &choices, int PreferencesValues::*value,
                                   bool across)
{
    auto *holder = new QWidget;
    holder->setObjectName(QString::fromLatin1(key));
    QBoxLayout *lay = across ? static_cast<QBoxLayout *>(new QHBoxLayout(holder)) : new QVBoxLayout(holder);
    lay->setContentsMargins(across ? 0 : 20, 0, 0, 0);
    auto *group = new QButtonGroup(holder);
    for (const Choice &c : choices) {
        auto *r = new QRadioButton(c.title, holder);
        group->addButton(r, c.tag);
        lay->addWidget(r);
    }
    if (across)
        lay->addStretch();
    connect(group, &QButtonGroup::idClicked, this, [this, value](int tag) { m_form.values().*value = tag; });
    m_shows.push_back([this, group, value] {
        // A tag this version does not offer leaves every button clear and is kept.
        if (QAbstractButton *b = group->button(m_form.values().*value)) {
            b->setChecked(true);
        } else if (QAbstractButton *checked = group->checkedButton()) {
            group->setExclusive(false);
            checked->setChecked(false);
            group->setExclusive(true);
        }
    });
    return holder;
}

QComboBox *PreferencesWindow::popUp(const char *key, const QList<Choice> &choices, int PreferencesValues::*value)
{
    auto *pop = new QComboBox;
    pop->setObjectName(QString::fromLatin1(key));
    auto *model = new ChoiceListModel(choices, pop);
    pop->setModel(model);
    connect(pop, &QComboBox::activated, this, [this, model, value](int at) {
        m_form.values().*value = model->tagAt(at);
        applyEnabling();
    });
    m_shows.push_back([this, pop, model, value] { pop->setCurrentIndex(model->rowOfTag(m_form.values().*value)); });
    return pop;
}

QSpinBox *PreferencesWindow::number(const char *key, int low, int high, int PreferencesValues::*value)
{
    auto *spin = new QSpinBox;
    spin->setObjectName(QString::fromLatin1(key));
    spin->setRange(low, high);
    connect(spin, &QSpinBox::valueChanged, this, [this, value](int v) { m_form.values().*value = v; });
    m_shows.push_back([this, spin, value] { spin->setValue(m_form.values().*value); });
    return spin;
}

QLineEdit *PreferencesWindow::field(const char *key, QString PreferencesValues::*value)
{
    auto *edit = new QLineEdit;
    edit->setObjectName(QString::fromLatin1(key));
    connect(edit, &QLineEdit::textEdited, this, [this, value](const QString &text) { m_form.values().*value = text; });
    m_shows.push_back([this, edit, value] { edit->setText(m_form.values().*value); });
    return edit;
}

void PreferencesWindow::enableWhen(QWidget *control, bool (PreferencesForm::*rule)() const)
{
    m_enablings.push_back([this, control, rule] { control->setEnabled((m_form.*rule)()); });
}

QWidget *PreferencesWindow::generalTab()
{
    using V = PreferencesValues;
    auto *tab = new QWidget;
    auto *v = new QVBoxLayout(tab);
    v->addWidget(box("prefSyncAndQuit", GLS("Sync And Quit"), &V::syncAndQuit));
    v->addWidget(box("prefAskConfirmation", GLS("Ask for confirmation"), &V::askConfirmation));
    v->addWidget(box("prefPreview", GLS("Preview"), &V::preview));
    v->addWidget(box("prefBeepWhenDone", GLS("Beep when done"), &V::beepWhenDone));
    v->addWidget(box("prefShutDown", GLS("Shut down when done"), &V::shutDown));
    v->addWidget(new QLabel(GLS("On error:")));
    v->addWidget(radios("prefOnError", ChoiceListModel::onErrorChoices(), &V::onError, false));
    QCheckBox *root = box("prefRoot", GLS("Run as root"), &V::root);
    applyRunAsRootAvailability(root, m_euidRoot);
    v->addWidget(root);
    QSpinBox *delta = number("prefModificationDeltaField", 0, 3600, &V::modificationDeltaField);
    enableWhen(delta, &PreferencesForm::modificationDeltaFieldEnabled);
    v->addLayout(row({box("prefModificationDelta", GLS("Modification date tolerance (seconds):"),
                          &V::modificationDelta),
                      delta}));
    v->addStretch();
    return tab;
}

QWidget *PreferencesWindow::logTab()
{
    using V = PreferencesValues;
    auto *tab = new QWidget;
    auto *v = new QVBoxLayout(tab);
    v->addWidget(box("prefSaveLogFile", GLS("Save log file"), &V::saveLogFile));
    QWidget *when = radios("prefSaveLogFileWhen", ChoiceListModel::whenChoices(), &V::saveLogFileWhen, true);
    when->layout()->setContentsMargins(20, 0, 0, 0);
    QWidget *format = radios("prefLogFileFormat", ChoiceListModel::logFormatChoices(), &V::logFileFormat, true);
    enableWhen(when, &PreferencesForm::saveLogChoicesEnabled);
    enableWhen(format, &PreferencesForm::saveLogChoicesEnabled);
    v->addWidget(when);
    v->addLayout(row({new QLabel(GLS("Log file format:")), format}));
    v->addLayout(row({new QLabel(GLS("Log kind:")),
                      radios("prefLogKind", ChoiceListModel::logKindChoices(), &V::logKind, true)}));

    m_logFolder = new QLabel(tab);
    m_logFolder->setObjectName(QStringLiteral("prefPathLogFolder"));
    m_logFolder->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_logFolder->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_shows.push_back([this] { m_logFolder->setText(m_form.values().logFolder); });
    auto *choose = new QPushButton(GLS("Choose") + QStringLiteral("…"), tab);
    connect(choose, &QPushButton::clicked, this, &PreferencesWindow::chooseLogFolder);
    auto *open = new QPushButton(GLS("Open"), tab);
    open->setObjectName(QStringLiteral("openLogFolder"));
    connect(open, &QPushButton::clicked, this, &PreferencesWindow::openLogFolder);
    enableWhen(open, &PreferencesForm::openLogFolderEnabled);
    auto *folder = new QHBoxLayout;
    folder->addWidget(new QLabel(GLS("Log folder:")));
    folder->addWidget(m_logFolder, 1);
    folder->addWidget(choose);
    folder->addWidget(open);
    v->addLayout(folder);

    QCheckBox *prune = box("prefDeleteLogsOn", GLS("Delete old log files:"), &V::deleteLogsOn);
    enableWhen(prune, &PreferencesForm::saveLogChoicesEnabled);
    QSpinBox *age = number("prefDeleteLogsField", 0, 100000, &V::deleteLogsField);
    QComboBox *unit = popUp("prefDeleteLogsPop", ChoiceListModel::deleteLogsUnitChoices(), &V::deleteLogsPop);
    enableWhen(age, &PreferencesForm::deleteLogsChoicesEnabled);
    enableWhen(unit, &PreferencesForm::deleteLogsChoicesEnabled);
    v->addLayout(row({prune, age, unit}));
    v->addStretch();
    return tab;
}

QWidget *PreferencesWindow::mailTab()
{
    using V = PreferencesValues;
    auto *tab = new QWidget;
    auto *v = new QVBoxLayout(tab);
    v->addWidget(box("prefSendEmail", GLS("Send email"), &V::sendEmail));
    QWidget *when = radios("prefSendEmailWhen", ChoiceListModel::whenChoices(), &V::sendEmailWhen, true);
    when->layout()->setContentsMargins(20, 0, 0, 0);
    v->addWidget(when);
    QLineEdit *address = field("prefSendEmailAddress", &V::sendEmailAddress);
    QComboBox *transport = popUp("prefSendEmailTransport", ChoiceListModel::mailTransportChoices(), &V::transport);
    for (QWidget *w : {when, static_cast<QWidget *>(address), static_cast<QWidget *>(transport)})
        enableWhen(w, &PreferencesForm::mailChoicesEnabled);
    QLineEdit *sendmail = field("prefSendmailPath", &V::sendmailPath);
    sendmail->setPlaceholderText(QStringLiteral("/usr/sbin/sendmail"));
    enableWhen(sendmail, &PreferencesForm::sendmailPathEnabled);

    QLineEdit *host = field("prefSmtpHost", &V::smtpHost);
    QSpinBox *port = number("prefSmtpPort", PreferencesForm::kMinPort, PreferencesForm::kMaxPort, &V::smtpPort);
    QComboBox *security = popUp("prefSmtpSecurity", ChoiceListModel::smtpSecurityChoices(), &V::smtpSecurity);
    QLineEdit *user = field("prefSmtpUser", &V::smtpUser);
    auto *password = new QLineEdit;
    password->setObjectName(QStringLiteral("prefSmtpPassword"));
    password->setEchoMode(QLineEdit::Password);
    // Only a typed password is stored again: one the store could not give
    // at start must not be overwritten by the empty field.
    connect(password, &QLineEdit::textEdited, this, [this](const QString &text) { m_form.setSmtpPassword(text); });
    m_shows.push_back([this, password] { password->setText(m_form.values().smtpPassword); });
    m_passwordPlace = new QLabel(tab);
    m_passwordPlace->setObjectName(QStringLiteral("passwordPlace"));
    m_passwordPlace->setEnabled(false);
    m_shows.push_back([this] { m_passwordPlace->setText(m_form.passwordPlaceText()); });
    QLineEdit *from = field("prefSmtpFrom", &V::smtpFrom);
    for (QWidget *w : std::initializer_list<QWidget *>{host, port, security, user, password, from})
        enableWhen(w, &PreferencesForm::smtpFieldsEnabled);

    auto *form = new QFormLayout;
    form->addRow(GLS("Email address:"), address);
    form->addRow(GLS("Send with:"), transport);
    form->addRow(GLS("sendmail program:"), sendmail);
    form->addRow(GLS("SMTP server:"), host);
    form->addRow(GLS("Port:"), port);
    form->addRow(GLS("Security:"), security);
    form->addRow(GLS("User:"), user);
    auto *passwordRow = new QVBoxLayout;
    passwordRow->addWidget(password);
    passwordRow->addWidget(m_passwordPlace);
    form->addRow(GLS("Password:"), passwordRow);
    form->addRow(GLS("Sender:"), from);
    v->addLayout(form);
    v->addStretch();
    return tab;
}

void PreferencesWindow::PrefSet()
{
    m_form.PrefSet(m_prefs);
    if (m_form.values().logFolder.isEmpty())
        m_form.values().logFolder = m_paths.defaultLogFolder;
    for (const auto &show : m_shows)
        show();
    for (int i = 0; i < m_tabs->count(); ++i)
        if (m_tabs->widget(i)->objectName() == m_form.values().tab)
            m_tabs->setCurrentIndex(i);
    applyEnabling();
}

void PreferencesWindow::applyEnabling()
{
    for (const auto &enable : m_enablings)
        enable();
}

void PreferencesWindow::PrefApply()
{
    QString writeError;
    bool written = true;
    const PreferencesForm::ApplyResult result =
        m_form.PrefApply(kOkTag, m_prefs, [this, &written, &writeError](const QVariantMap &prefs) {
            written = Preferences::write(m_paths, prefs, &writeError);
        });
    if (!result.close) {
        showRefusal(result.check);
        return;
    }
    // The preferences are in force either way; a file that could not be
    // written must not pass unnoticed, since they would be lost at the next start.
    if (!written)
        m_questions.warn(DocumentQuestions::AlertKind::Critical, writeError);
    accept();
}

void PreferencesWindow::showRefusal(const PreferencesForm::GetResult &refusal)
{
    m_questions.warn(DocumentQuestions::AlertKind::Plain, refusal.message);
    const char *key = nullptr;
    switch (refusal.field) {
    case PreferencesForm::Field::MailAddress: key = "prefSendEmailAddress"; break;
    case PreferencesForm::Field::DeleteLogsAge: key = "prefDeleteLogsField"; break;
    case PreferencesForm::Field::SmtpPort: key = "prefSmtpPort"; break;
    case PreferencesForm::Field::None: return;
    }
    for (const auto &show : m_shows)
        show(); // the form may have reset the refused field
    QWidget *w = findChild<QWidget *>(QString::fromLatin1(key));
    if (!w)
        return;
    for (int i = 0; i < m_tabs->count(); ++i)
        if (m_tabs->widget(i)->isAncestorOf(w))
            m_tabs->setCurrentIndex(i);
    w->setFocus();
    if (auto *edit = qobject_cast<QLineEdit *>(w))
        edit->selectAll();
    else if (auto *spin = qobject_cast<QSpinBox *>(w))
        spin->selectAll();
}

void PreferencesWindow::chooseLogFolder()
{
    const QString chosen = m_questions.dialogs().chooseFolder(this, GLS("Log folder:"), m_form.values().logFolder);
    if (chosen.isEmpty())
        return;
    m_form.values().logFolder = QDir::cleanPath(chosen);
    m_logFolder->setText(m_form.values().logFolder);
    applyEnabling();
}

void PreferencesWindow::openLogFolder()
{
    if (m_form.openLogFolderEnabled())
        DesktopShell::reveal(m_form.values().logFolder);
}

} // namespace qm
