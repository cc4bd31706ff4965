#include "platform/files/AccessRegistry.h"

#include "platform/base/Locations.h"
#include "platform/files/Descriptor.h"
#include "platform/files/GrantResolver.h"
#include "platform/files/PathText.h"

#include <QDir>

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <map>
#include <optional>
#include <mutex>
#include <string>
#include <vector>

namespace hb {

namespace {

struct Grant {
    std::string path;
    bool readOnly;
};

struct Registry {
    std::mutex mutex;
    bool defaultsGranted = false;
    std::vector<Grant> standing;
    struct Scope {
        std::string root;  // canonical at start, so a later rename cannot strand the scope
        int count = 0;
    };
    std::map<QString, Scope> scopes;                // by the URL's own path
    std::map<QString, ItemIdentity> resolvedItems;  // by the resolved URL's path
};

Registry& registry()
{
    static Registry instance;
    return instance;
}

using PathText::appendComponent;
using PathText::realPath;

std::string canonical(std::string path, bool followFinal);

std::string canonical(std::string path, bool followFinal)
{
    if (path.empty() || path[0] != '/')
        path = QDir::currentPath().toStdString() + "/" + path;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    const auto lastSlash = path.rfind('/');
    const std::string last = path.substr(lastSlash + 1);
    if (!followFinal && !last.empty() && last != "." && last != "..") {
        std::string parent = canonical(lastSlash == 0 ? std::string("/") : path.substr(0, lastSlash), true);
        appendComponent(parent, last);
        return parent;
    }
    if (std::string resolved = realPath(path); !resolved.empty())
        return resolved;
    // Resolve the longest existing prefix, then add the missing rest as text.
    std::vector<std::string> rest;
    std::string prefix = path;
    std::string resolved;
    while (resolved.empty()) {
        const auto slash = prefix.rfind('/');
        rest.push_back(prefix.substr(slash + 1));
        prefix = slash == 0 ? "/" : prefix.substr(0, slash);
        resolved = realPath(prefix);
        if (resolved.empty() && prefix == "/")
            resolved.assign(1, '/');
    }
    for (auto it = rest.rbegin(); it != rest.rend(); ++it)
        appendComponent(resolved, *it);
    return resolved;
}

bool inside(std::string_view path, std::string_view root)
{
    if (root.empty())  // a scope whose item could not be confirmed
        return false;
    if (root == "/")
        return true;
    return path.compare(0, root.size(), root) == 0 && (path.size() == root.size() || path[root.size()] == '/');
}

void grantDefaults(Registry& r)
{
    if (r.defaultsGranted)
        return;
    r.defaultsGranted = true;
    r.standing.push_back({canonical(Locations::containerDirectory().toStdString(), true), false});
    r.standing.push_back({canonical(Locations::applicationScriptsDirectory().toStdString(), true), true});
}

// Resolving the path is the check: it succeeds only beneath a grant. A path whose end does not exist
// (yet) resolves as far as it exists, and the resolver answers "missing" only inside a grant.
bool check(const QString& path, bool followFinal, bool writing)
{
    if (path.isEmpty())
        return false;
    const Need need = writing ? Need::writing : Need::reading;
    const int error = followFinal ? GrantResolver::open(path, need).error : GrantResolver::item(path, need).error;
    return error == 0 || error == ENOENT || error == ENOTDIR;
}

}  // namespace

namespace AccessRegistry {

QString canonicalPath(const QString& path, bool followFinalLink)
{
    return QString::fromStdString(canonical(path.toStdString(), followFinalLink));
}

void grantStanding(const QString& path)
{
    if (path.isEmpty())
        return;
    const std::string root = canonical(path.toStdString(), true);
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    grantDefaults(r);
    r.standing.push_back({root, false});
}

// The scope's root: the kernel's name of the very item whose identity was checked, so the path cannot
// name one item for the check and another for the root.
std::string confirmedRoot(const QString& path, const ItemIdentity& expected)
{
    const Descriptor fd(::open(path.toUtf8().constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (!fd.isOpen() || ::fstat(fd.get(), &st) != 0 || ItemIdentity{quint64(st.st_dev), quint64(st.st_ino)} != expected)
        return {};
    return PathText::nameOf(fd.get());
}

bool startAccessing(const URL& url)
{
    if (!url.isSecurityScoped() || url.isEmpty())
        return false;
    std::optional<ItemIdentity> expected;
    {
        Registry& r = registry();
        std::lock_guard lock(r.mutex);
        if (const auto it = r.resolvedItems.find(url.path()); it != r.resolvedItems.end())
            expected = it->second;
    }
    // A final link opens only itself: its far end may lie outside every grant.
    const std::string root = expected ? confirmedRoot(url.path(), *expected)
                                      : canonical(url.path().toStdString(), false);
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    auto& scope = r.scopes[url.path()];
    ++scope.count;
    if (root.empty())
        return false;
    scope.root = root;
    return true;
}

void noteResolvedItem(const QString& path, const ItemIdentity& item)
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.resolvedItems[path] = item;
}

void stopAccessing(const URL& url)
{
    if (!url.isSecurityScoped() || url.isEmpty())
        return;
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    const auto it = r.scopes.find(url.path());
    if (it != r.scopes.end() && --it->second.count <= 0)
        r.scopes.erase(it);
}

bool hasAccess(const QString& path, bool followFinalLink)
{
    return check(path, followFinalLink, true);
}

bool hasReadAccess(const QString& path, bool followFinalLink)
{
    return check(path, followFinalLink, false);
}

std::string deepestRootCovering(std::string_view absolutePath, bool writing)
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    grantDefaults(r);
    const std::string* deepest = nullptr;
    const auto consider = [&](const std::string& root) {
        if (inside(absolutePath, root) && (!deepest || root.size() > deepest->size()))
            deepest = &root;
    };
    for (const Grant& grant : r.standing) {
        if (!writing || !grant.readOnly)
            consider(grant.path);
    }
    for (const auto& [key, scope] : r.scopes)
        consider(scope.root);
    return deepest ? *deepest : std::string();
}

bool covers(std::string_view canonicalPath, bool writing)
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    grantDefaults(r);
    for (const Grant& grant : r.standing) {
        if ((!writing || !grant.readOnly) && inside(canonicalPath, grant.path))
            return true;
    }
    for (const auto& [key, scope] : r.scopes) {
        if (inside(canonicalPath, scope.root))
            return true;
    }
    return false;
}

void resetForTesting()
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.defaultsGranted = false;
    r.standing.clear();
    r.scopes.clear();
    r.resolvedItems.clear();
}

}  // namespace AccessRegistry

}  // namespace hb
