#pragma once
// The preferences window: filled from the preferences (PrefSet), checked
// and stored on OK (PrefGet), then written to the preferences file.
#include "app/AppPaths.h"

#include <QDialog>
#include <QVariantMap>

class QBoxLayout;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTabWidget;

namespace qm {

class DesktopQuestions;

class PreferencesWindow : public QDialog {
    Q_OBJECT
public:
    PreferencesWindow(QVariantMap &prefs, const AppPaths &paths, DesktopQuestions &questions,
                      QWidget *parent = nullptr);

    void PrefSet();
    // Checks, in order, then stores every control; false (nothing stored)
    // when a check fails.
    bool PrefGet();
    // OK: store and write; the window closes only when that succeeded.
    void PrefApply();
    // The run-as-root box differs from what the window opened with.
    bool rootChanged() const;

    QCheckBox *box(const char *key) const;
    QButtonGroup *group(const char *key) const;
    QLineEdit *field(const char *key) const;
    QTabWidget *tabs() const { return m_tabs; }

private:
    QVariantMap &m_prefs;
    const AppPaths &m_paths;
    DesktopQuestions &m_questions;
    QTabWidget *m_tabs = nullptr;
    QMap<QByteArray, QCheckBox *> m_boxes;
    QMap<QByteArray, QButtonGroup *> m_groups;
    QMap<QByteArray, QLineEdit *> m_fields;
    QComboBox *m_deleteUnit = nullptr;
    QComboBox *m_transport = nullptr;
    QComboBox *m_security = nullptr;
    QSpinBox *m_deleteAge = nullptr;
    QSpinBox *m_delta = nullptr;
    QSpinBox *m_port = nullptr;
    QLabel *m_logFolder = nullptr;
    int m_rootAtOpen = 0;

    QWidget *generalTab();
    QWidget *logTab();
    QWidget *mailTab();
    QCheckBox *addBox(const char *key, const QString &title);
    QButtonGroup *addGroup(const char *key, QWidget *owner, const QList<QPair<int, QString>> &choices,
                           QBoxLayout *into);
    QLineEdit *addField(const char *key);
    void applyEnabling();
    void chooseLogFolder();
    void openLogFolder();
};

} // namespace qm
