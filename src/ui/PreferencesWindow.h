#pragma once
// The preferences window: shows a PreferencesForm and passes every change
// of a control to it. OK checks and stores through the form, writes the
// preferences file and closes; a refused check keeps the window open with
// its alert and the field selected.
#include "app/AppPaths.h"
#include "uimodel/ChoiceListModel.h"
#include "uimodel/PreferencesForm.h"

#include <QDialog>
#include <QVariantMap>

#include <functional>
#include <optional>
#include <vector>

class QBoxLayout;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTabWidget;
class QWidget;

namespace qm {

class DesktopQuestions;

class PreferencesWindow : public QDialog {
    Q_OBJECT
public:
    PreferencesWindow(QVariantMap &prefs, const AppPaths &paths, DesktopQuestions &questions, SecretStore &secrets,
                      bool euidRoot, QWidget *parent = nullptr);

    // PrefSet: the controls from the preferences.
    void PrefSet();
    // OK: checks, stores and writes; the window closes only when that succeeded.
    void PrefApply();
    // The run-as-root box's new state after an OK that changed it.
    std::optional<bool> rootChange() const { return m_rootChange; }

    // A control by its preference key (object name), for tests and shortcuts.
    template <class W> W *control(const char *key) const { return findChild<W *>(QString::fromLatin1(key)); }
    QTabWidget *tabs() const { return m_tabs; }

private:
    QVariantMap &m_prefs;
    const AppPaths &m_paths;
    DesktopQuestions &m_questions;
    PreferencesForm m_form;
    std::optional<bool> m_rootChange;
    bool m_euidRoot;
    QTabWidget *m_tabs = nullptr;
    QLabel *m_logFolder = nullptr;
    QLabel *m_passwordPlace = nullptr;
    // Each shows its form value in its control; run after PrefSet.
    std::vector<std::function<void()>> m_shows;
    // Each sets a control's enabled state from the form's rules.
    std::vector<std::function<void()>> m_enablings;

    QWidget *generalTab();
    QWidget *logTab();
    QWidget *mailTab();
    QCheckBox *box(const char *key, const QString &title, bool PreferencesValues::*value);
    QWidget *radios(const char *key, const QList<Choice> &choices, int PreferencesValues::*value, bool across);
    QComboBox *popUp(const char *key, const QList<Choice> &choices, int PreferencesValues::*value);
    QSpinBox *number(const char *key, int low, int high, int PreferencesValues::*value);
    QLineEdit *field(const char *key, QString PreferencesValues::*value);
    void enableWhen(QWidget *control, bool (PreferencesForm::*rule)() const);
    void applyEnabling();
    void showRefusal(const PreferencesForm::GetResult &refusal);
    void chooseLogFolder();
    void openLogFolder();
};

} // namespace qm
