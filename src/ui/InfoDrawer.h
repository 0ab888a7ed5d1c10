#pragma once
// The information drawer: the item being processed, below the console.
#include <QDockWidget>

class QLabel;

namespace qm {

struct DrawerText {
    QString label;  // "Copying:", "Replacing:", "Deleting:" or "Processing item:"
    QString source;
    QString dest;
    QString size;   // "--" unless computed
};

class InfoDrawer : public QDockWidget {
    Q_OBJECT
public:
    explicit InfoDrawer(QWidget *parent = nullptr);
    void show(const DrawerText &text);
    QString labelText() const;
    QString sizeText() const;

private:
    QLabel *m_mode, *m_source, *m_dest, *m_size;
};

} // namespace qm
