#include "ui/SchedulingWindow.h"

#include "platform/Messages.h"
#include "schedule/MonitorModel.h"
#include "ui/Images.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace qm {

namespace {

// The model's tones and image names as the table draws them.
class MonitorColours : public QIdentityProxyModel {
public:
    explicit MonitorColours(QObject *parent) : QIdentityProxyModel(parent), m_next(namedImage(MonitorModel::kNextTimerImage)) {}

    QVariant data(const QModelIndex &index, int role) const override
    {
        switch (role) {
        case Qt::ForegroundRole:
            switch (QIdentityProxyModel::data(index, MonitorModel::ToneRole).toInt()) {
            case MonitorModel::DoneTone: return QColor(Qt::gray);
            case MonitorModel::RunningTone: return QColor(Qt::red);
            default: return QColor(Qt::black);
            }
        case Qt::DecorationRole:
            return QIdentityProxyModel::data(index, MonitorModel::ImageNameRole).isValid() ? QVariant(m_next) : QVariant();
        default:
            return QIdentityProxyModel::data(index, role);
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        static const char *const titles[MonitorModel::ColumnCount] = {"", "#", "Date", "Session", "State", "Errors"};
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < MonitorModel::ColumnCount)
            return section == 0 ? QString() : GLS(titles[section]);
        return QIdentityProxyModel::headerData(section, orientation, role);
    }

private:
    QIcon m_next;
};

} // namespace

SchedulingWindow::SchedulingWindow(ScheduleMonitor &monitor, std::function<void(const QString &)> openLog,
                                   QWidget *parent)
    : QWidget(parent, Qt::Window), m_openLogFile(std::move(openLog))
{
    setObjectName(QStringLiteral("schedulingWindow"));
    setWindowTitle(GLS("Scheduling"));
    m_model = new MonitorModel(monitor, this);
    auto *colours = new MonitorColours(this);
    colours->setSourceModel(m_model);

    m_days = new QComboBox(this);
    m_days->setObjectName(QStringLiteral("previewPopMenu"));
    m_days->addItem(GLS("Today"));
    for (int days = 2; days <= kDayChoices; ++days)
        m_days->addItem(GLS("%@ days").replace(QLatin1String("%@"), QString::number(days)));
    m_days->setCurrentIndex(m_model->daysPosition());
    m_days->setEnabled(m_model->isDaysChoiceEnabled());
    connect(m_days, &QComboBox::activated, m_model, &MonitorModel::chooseDays);
    connect(m_model, &MonitorModel::daysChoiceEnabledChanged, m_days, &QWidget::setEnabled);

    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("schedulingTable"));
    m_table->setModel(colours);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setAlternatingRowColors(true);
    QPalette palette = m_table->palette();
    palette.setColor(QPalette::AlternateBase, QColor::fromRgbF(0.96f, 0.96f, 0.96f));
    m_table->setPalette(palette);
    m_table->setShowGrid(false);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    // Rows of one height, never measured: a month of one-minute timers scrolls at once.
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    QHeaderView *header = m_table->horizontalHeader();
    header->setSectionsMovable(true);
    header->setStretchLastSection(true);
    const int widths[MonitorModel::ColumnCount] = {24, 60, 250, 160, 60, 50};
    for (int c = 0; c < MonitorModel::ColumnCount; ++c)
        m_table->setColumnWidth(c, widths[c]);
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this, &SchedulingWindow::updateButtons);
    connect(m_table, &QTableView::doubleClicked, this, &SchedulingWindow::SchedulingOpenLog);
    connect(m_model, &QAbstractItemModel::modelReset, this, &SchedulingWindow::updateButtons);
    connect(m_model, &MonitorModel::rowToShow, this, [this](int row) {
        m_table->scrollTo(m_table->model()->index(row, 0), QAbstractItemView::EnsureVisible);
    });

    m_openLog = new QPushButton(namedImage(QStringLiteral("icnLogFile")), GLS("Open Log"), this);
    m_openLog->setObjectName(QStringLiteral("openLogBtn"));
    m_delete = new QPushButton(GLS("Delete"), this);
    m_delete->setObjectName(QStringLiteral("deleteTimerRowBtn"));
    m_delete->setToolTip(GLS("Deletes the selected executions that are done"));
    connect(m_openLog, &QPushButton::clicked, this, &SchedulingWindow::SchedulingOpenLog);
    connect(m_delete, &QPushButton::clicked, this, &SchedulingWindow::DeleteTimerRow);

    auto *top = new QHBoxLayout;
    top->addWidget(new QLabel(GLS("Show:"), this));
    top->addWidget(m_days);
    top->addStretch();
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_delete);
    buttons->addStretch();
    buttons->addWidget(m_openLog);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);
    resize(660, 420);
    updateButtons();
}

void SchedulingWindow::WindowOpenScheduling()
{
    show();
    raise();
    activateWindow();
}

QList<int> SchedulingWindow::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex &index : m_table->selectionModel()->selectedRows())
        rows.append(index.row());
    return rows;
}

void SchedulingWindow::updateButtons()
{
    const QList<int> rows = selectedRows();
    m_openLog->setEnabled(rows.size() == 1 && m_model->canOpenLog(rows.first()));
    m_delete->setEnabled(!rows.isEmpty());
    m_days->setCurrentIndex(m_model->daysPosition());
}

void SchedulingWindow::SchedulingOpenLog()
{
    const QList<int> rows = selectedRows();
    if (rows.size() != 1 || !m_model->canOpenLog(rows.first()) || !m_openLogFile)
        return;
    m_openLogFile(m_model->logPath(rows.first()));
}

void SchedulingWindow::DeleteTimerRow()
{
    const int select = m_model->deleteRows(selectedRows());
    if (select < 0)
        return;
    m_table->selectRow(select);
}

} // namespace qm
