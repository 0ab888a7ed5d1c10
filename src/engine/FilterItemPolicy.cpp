#include "engine/FilterItemPolicy.h"

namespace qm {

FilterItemPolicy::FilterItemPolicy(FilterItemPolicyWiring wiring)
    : m_w(std::move(wiring)), m_rights(ProcessIdentity::current())
{
}

const SessionSettings &FilterItemPolicy::settings() const
{
    static const SessionSettings none;
    return m_w.settings ? *m_w.settings : none;
}

void FilterItemPolicy::loadSession(const QVariantMap &session)
{
    m_excludes.CountExcludeValid(session);
    m_filters.CountFilterValid(session);
}

int FilterItemPolicy::foldersAreValid(QString &source, QString &dest)
{
    const SessionSettings &set = settings();
    ValidationOptions options;
    options.runningAsRoot = set.euidRoot;
    options.changePermissions = set.changePermissions;
    options.resolveAliases = set.isResolveAliasOn;
    options.resolveSymLinks = set.isResolveSymLinkOn;
    options.isOnUnmountedVolume = m_w.isOnUnmountedVolume;
    options.canVolumeManageOwnership = m_w.canVolumeManageOwnership;
    options.excludes = set.isExcludeOn ? &m_excludes : nullptr;
    m_folders = FolderMemo();
    m_validation = FoldersAreValid(source, dest, options);
    switch (m_validation.verdict) {
    case FolderValidation::Verdict::Valid:
        source = m_validation.sourceFolder;
        dest = m_validation.destFolder;
        return 1;
    case FolderValidation::Verdict::AskToContinue:
        if (!m_w.reportError || !m_w.reportError(m_validation.message))
            return 0;
        source = m_validation.sourceFolder;
        dest = m_validation.destFolder;
        return 1;
    case FolderValidation::Verdict::Refused: break;
    }
    if (m_w.reportError)
        m_w.reportError(m_validation.message);
    return 0;
}

int FilterItemPolicy::checkPrivileges(const QString &a, const QString &b, int copyMode, QString *errString,
                                      const ItemInfo *infoA, const ItemInfo *infoB)
{
    const PrivilegeCheck check = CheckPrivilegesOnFiles(a, b, copyMode, settings().isUnlockOn, m_rights,
                                                        &m_folders, KnownSides{infoA, infoB});
    if (check.code != PrivilegeCode::Allowed && errString)
        *errString = check.message;
    return check.code;
}

bool FilterItemPolicy::loadExactSyncIndex(const QString &source, const QString &dest)
{
    m_index.reset();
    if (m_w.indexFolder.isEmpty())
        return false;
    const SessionSettings &set = settings();
    m_index = ExactSyncIndexStore(m_w.indexFolder).load(source, dest, set.isSyncOn && set.isExactOn);
    return m_index.has_value();
}

bool FilterItemPolicy::itWasExisting(const QString &path, int where)
{
    return m_index && m_index->ItWasExixting(path, where);
}

void FilterItemPolicy::makeItemsToDontCopyList(const QString &source, const QString &dest)
{
    m_boot.MakeItemsToDontCopyList(source, dest, BootItemsContext::forProcess(m_w.ownFolders));
}

} // namespace qm
