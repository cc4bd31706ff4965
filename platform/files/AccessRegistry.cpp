#include "platform/files/AccessRegistry.h"

#include "platform/base/Locations.h"
#include "platform/files/GrantResolver.h"

#include <QDir>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <map>
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
    std::map<QString, Scope> scopes;  // by the URL's own path
};

Registry& registry()
{
    static Registry instance;
    return instance;
}

// The kernel's own name of the opened item: two system calls where realpath() reads every component's link.
std::string realPath(const std::string& path)
{
    char buffer[PATH_MAX];
    const int fd = ::open(path.c_str(), O_PATH | O_CLOEXEC);
    if (fd >= 0) {
        char link[32];
        std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
        const ssize_t length = ::readlink(link, buffer, sizeof buffer - 1);
        ::close(fd);
        if (length > 0 && length < ssize_t(sizeof buffer - 1) && buffer[0] == '/')  // else possibly cut short
            return std::string(buffer, size_t(length));
    }
    if (::realpath(path.c_str(), buffer))
        return buffer;
    return {};
}

// Appends `component` to an absolute path, resolving "." and ".." as text (the component does not exist).
void appendComponent(std::string& path, const std::string& component)
{
    if (component.empty() || component == ".")
        return;
    if (component == "..") {
        const auto slash = path.rfind('/');
        path.resize(slash == 0 ? 1 : slash);
        return;
    }
    if (path.size() > 1)
        path += '/';
    path += component;
}

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

bool startAccessing(const URL& url)
{
    if (!url.isSecurityScoped() || url.isEmpty())
        return false;
    // A final link opens only itself: its far end may lie outside every grant.
    const std::string root = canonical(url.path().toStdString(), false);
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    auto& scope = r.scopes[url.path()];
    scope.root = root;
    ++scope.count;
    return true;
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

bool hasAccess(const QString& path, bool followFinalLink) { return check(path, followFinalLink, true); }

bool hasReadAccess(const QString& path, bool followFinalLink) { return check(path, followFinalLink, false); }

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
}

}  // namespace AccessRegistry

}  // namespace hb
