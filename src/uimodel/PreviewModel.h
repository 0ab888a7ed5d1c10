#pragma once
// The plan as the preview shows it: one root per task, the operation of each
// item between the names of its two sides. Nodes are made only for the rows
// a view asks for, so a plan of many thousands of items opens at once; the
// edits go straight into the plan the run owns.
#include "uimodel/PlanEditor.h"

#include <QAbstractItemModel>

#include <memory>
#include <vector>

namespace qm {

class PreviewModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Column { SourceColumn = 0, OperationColumn = 1, DestColumn = 2, ColumnCount = 3 };
    enum Role {
        // The name of the image before the text (source and destination:
        // kFolderImage, kFileImage, "icnFolderGray", "icnFileGray") or of
        // the operation ("icnPreviewViolet", ...).
        ImageRole = Qt::UserRole + 1,
        ToneRole,     // Tone of the text
        CopyModeRole, // the item's mode, negative when switched off
        PathRole,     // the full path of the column's side
        ExistsRole,   // the column's side is present for the item's mode
        DepthRole,    // 0 for a task root
    };
    enum class Tone { Present, Absent, SwitchedOff };
    // Placeholders for the desktop's own folder and document images.
    static constexpr const char *kFolderImage = "folder";
    static constexpr const char *kFileImage = "file";

    explicit PreviewModel(RunPlan &plan, QObject *parent = nullptr);
    ~PreviewModel() override;

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The click on the operation column: switches the row off or on (with
    // its content and the folders concerned). False for no such row.
    bool toggle(const QModelIndex &index);
    // Alt-click: turns a replacement of a synchronizing task round. False
    // (the window beeps) when the row is anything else.
    bool reverseDirection(const QModelIndex &index);

    const CopyItem *itemAt(const QModelIndex &index) const;
    // The full paths of the row's item (empty for no row).
    SidePaths pathsAt(const QModelIndex &index) const;
    PlanPosition positionOf(const QModelIndex &index) const;
    const PlanCounters &counters() const { return m_plan.counters; }

    // Which side of an item exists for its mode (switched-off modes too).
    static bool sourcePresent(int copyMode);
    static bool destPresent(int copyMode);
    static QString operationImage(int copyMode);

Q_SIGNALS:
    // The plan's counters changed (after a toggle or a reversal).
    void countersChanged();

private:
    struct Node;
    Node *nodeOf(const QModelIndex &index) const;
    Node *childOf(Node *parent, int row) const;
    std::vector<std::unique_ptr<Node>> &childrenOf(Node *parent) const;
    const CopyItem &itemOf(const Node *node) const;
    SidePaths pathsOf(const Node *node) const;
    void refreshSubtree(Node *node);
    void refreshRow(Node *node);

    RunPlan &m_plan;
    PlanEditor m_editor;
    mutable std::vector<std::unique_ptr<Node>> m_roots;
};

} // namespace qm
