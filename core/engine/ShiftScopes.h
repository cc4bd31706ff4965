#pragma once

#include "platform/base/URL.h"
#include "platform/files/ItemIdentity.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>

#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

// The security scopes that one pass over a shift's items works in, and what the pass reads once of
// its folders. Items of one folder share the scope that covers the folder, so a shift of many files
// from one folder resolves its bookmark once, not per item. Every scope is looked up before any is
// opened: a lookup made while a scope is open would store a bookmark of its own for every item it
// covers. An opened scope stays open until the pass ends, so items do not open and close it one by one.
class ShiftScopes {
public:
    ShiftScopes() = default;
    ~ShiftScopes() { close(); }
    ShiftScopes(const ShiftScopes&) = delete;
    ShiftScopes& operator=(const ShiftScopes&) = delete;

    // The scope that covers the item. Asked again for an item or a folder already asked about, it
    // answers from what it remembers and looks nothing up.
    std::optional<hb::URL> scopeFor(const hb::URL& item);
    // Opens the scope once per pass; a start that failed is closed again at once and not retried.
    bool open(const std::optional<hb::URL>& scope);
    // Ends the pass: every opened scope is closed, and the next pass looks up afresh.
    void close();

    // A destination folder and every folder that really holds it, read once per pass.
    const QList<hb::ItemIdentity>& chainOf(const hb::URL& folder);
    // Who a source's folder is (links followed), read once per pass.
    std::optional<hb::ItemIdentity> identityOf(const hb::URL& folder);
    // The volume of a destination folder, read once per pass.
    QVariant volumeOf(const hb::URL& folder);
    // Whether a trash can keep what is replaced in the folder, asked once per pass.
    bool trashKeepsItemsOf(const hb::URL& folder);

private:
    void remember(const QString& folder, const hb::URL& scope);

    QHash<QString, std::optional<hb::URL>> m_byItem;  // items whose scope does not cover their folder
    QHash<QString, hb::URL> m_byFolder;
    QHash<QString, QVariant> m_volumes;
    QHash<QString, QList<hb::ItemIdentity>> m_chains;
    QHash<QString, std::optional<hb::ItemIdentity>> m_identities;
    QHash<QString, bool> m_opened;
    QHash<QString, bool> m_trashKeeps;
    std::vector<hb::URL> m_toClose;
    // The answers last given, compared before any hashing: a pass asks about the same one or two
    // folders and scopes for item after item.
    std::pair<QString, hb::URL> m_recentFolders[2];
    std::size_t m_nextRecent = 0;
    std::pair<QString, bool> m_lastOpened;
    std::pair<QString, QVariant> m_lastVolume;
    std::pair<QString, std::optional<hb::ItemIdentity>> m_lastIdentity;
};
