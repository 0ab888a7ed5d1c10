#pragma once
// The scanner's item questions answered from the session being run: folder
// validation, privileges, the boot items lists, the exclude and filter
// lists and the pair's Exact Sync index.
//
// Per session, call loadSession(); the scanner then calls the ItemPolicy
// members per task and per item.
#include "engine/ExactSyncIndex.h"
#include "engine/ExcludeList.h"
#include "engine/ExcludeListBootItems.h"
#include "engine/Filter.h"
#include "engine/ItemPolicy.h"
#include "engine/SessionSettings.h"
#include "engine/Validation.h"
#include <functional>
#include <optional>

namespace qm {

struct FilterItemPolicyWiring {
    // The options of the session being run (task kind, unlock, resolve,
    // permission and exclude flags, process identity).
    const SessionSettings *settings = nullptr;
    QString indexFolder;    // "ExactSync Indexes"
    QStringList ownFolders; // never copied: support, index and log folders, trash
    // AddErrQuickly with case 0: reports the message as a run error and
    // answers whether the run goes on.
    std::function<bool(const QString &message)> reportError;
    std::function<bool(const QString &)> isOnUnmountedVolume;
    std::function<bool(const QString &)> canVolumeManageOwnership;
};

class FilterItemPolicy : public ItemPolicy {
public:
    explicit FilterItemPolicy(FilterItemPolicyWiring wiring);

    // Rebuilds the executive exclude and filter lists from the session.
    void loadSession(const QVariantMap &session);
    const ExcludeList &excludes() const { return m_excludes; }
    const FilterList &filters() const { return m_filters; }
    const BootItems &bootItems() const { return m_boot; }
    // The last pair checked, with its folders as validation left them.
    const FolderValidation &lastValidation() const { return m_validation; }
    // The index loaded for the task being scanned, if any.
    const std::optional<LoadedExactSyncIndex> &loadedIndex() const { return m_index; }
    const LoadedExactSyncIndex *exactSyncIndex() const override { return m_index ? &*m_index : nullptr; }

    int foldersAreValid(QString &source, QString &dest) override;
    int checkPrivileges(const QString &a, const QString &b, int copyMode, QString *errString,
                        const ItemInfo *infoA, const ItemInfo *infoB) override;
    bool isOnUnmountedVolume(const QString &path) override
    {
        return m_w.isOnUnmountedVolume && m_w.isOnUnmountedVolume(path);
    }
    bool loadExactSyncIndex(const QString &source, const QString &dest) override;
    bool itWasExisting(const QString &path, int where) override;
    void makeItemsToDontCopyList(const QString &source, const QString &dest) override;
    bool isBootItemNotToCopy(const QString &path) override { return m_boot.isNeverCopied(path); }
    bool isBootFolderToCopyEmpty(const QString &path) override { return m_boot.isCopiedEmpty(path); }
    bool isToBeExcluded(const QString &path) override { return m_excludes.IsToBeExcluded(path); }
    bool isToBeFiltered(const QString &path, const ItemInfo &info) override
    {
        return m_filters.IsToBeFiltered(path, info);
    }

private:
    const SessionSettings &settings() const;

    FilterItemPolicyWiring m_w;
    ExcludeList m_excludes;
    FilterList m_filters;
    BootItems m_boot;
    AccessRights m_rights;
    FolderValidation m_validation;
    FolderMemo m_folders; // between the items of one scan level
    std::optional<LoadedExactSyncIndex> m_index;
};

} // namespace qm
