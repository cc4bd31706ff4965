#include "platform/files/AccessRegistry.h"

#include "platform/base/Locations.h"

#include <QDir>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include <array>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
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

std::atomic<std::uint64_t> folderGeneration{0};

// The canonical name of an existing folder, remembered per thread for a moment: a shift checks the same
// few folders for every item. Our own renames and removals of folders forget every remembered name,
// and the short lifetime bounds how long a change made by another program can go unseen.
// Looked up by the caller's own text, so a remembered folder costs no conversion.
const std::string& canonicalFolder(QStringView path)
{
    struct Entry {
        QString path;
        std::string canonical;
        std::uint64_t generation = 0;
        std::chrono::steady_clock::time_point at;
    };
    constexpr auto lifetime = std::chrono::milliseconds(100);
    thread_local std::array<Entry, 8> entries;
    thread_local std::size_t next = 0;
    thread_local std::string uncached;
    const auto now = std::chrono::steady_clock::now();
    const std::uint64_t generation = folderGeneration.load(std::memory_order_acquire);
    for (const Entry& entry : entries) {
        if (entry.generation == generation && now - entry.at < lifetime && entry.path == path)
            return entry.canonical;
    }
    const std::string native = path.toUtf8().toStdString();
    std::string resolved = realPath(native);
    if (resolved.empty()) {
        uncached = canonical(native, true);
        return uncached;
    }
    Entry& entry = entries[next];
    next = (next + 1) % entries.size();
    entry = Entry{path.toString(), std::move(resolved), generation, now};
    return entry.canonical;
}

bool isDotOrDotDot(QStringView name)
{
    return name == u"." || name == u"..";
}

// Appends `name` as UTF-8 without a temporary for the usual plain-ASCII name.
void appendUtf8(std::string& target, QStringView name)
{
    for (const QChar c : name) {
        if (c.unicode() >= 0x80) {
            const QByteArray utf8 = name.toUtf8();
            target.append(utf8.constData(), std::size_t(utf8.size()));
            return;
        }
    }
    const std::size_t start = target.size();
    target.resize(start + std::size_t(name.size()));
    for (qsizetype i = 0; i < name.size(); ++i)
        target[start + std::size_t(i)] = char(name[i].unicode());
}

std::string canonical(std::string path, bool followFinal)
{
    if (path.empty() || path[0] != '/')
        path = QDir::currentPath().toStdString() + "/" + path;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    const auto lastSlash = path.rfind('/');
    const std::string last = path.substr(lastSlash + 1);
    if (!followFinal && !last.empty() && last != "." && last != "..") {
        std::string parent = canonicalFolder(
            QString::fromStdString(lastSlash == 0 ? std::string("/") : path.substr(0, lastSlash)));
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

bool inside(const std::string& path, const std::string& root)
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

// The canonical form of `path` into `target`. The common case, a link judged where it lies under an
// absolute folder, takes the folder's remembered name and appends the last component.
void canonicalInto(const QString& path, bool followFinal, std::string& target)
{
    const qsizetype lastSlash = path.lastIndexOf(u'/');
    const QStringView last = QStringView(path).mid(lastSlash + 1);
    if (followFinal || lastSlash < 0 || path.front() != u'/' || last.isEmpty() || isDotOrDotDot(last)) {
        target = canonical(path.toStdString(), followFinal);
        return;
    }
    target = canonicalFolder(lastSlash == 0 ? QStringView(u"/") : QStringView(path).left(lastSlash));
    if (target.size() > 1)
        target += '/';
    appendUtf8(target, last);
}

bool check(const QString& path, bool followFinal, bool reading)
{
    if (path.isEmpty())
        return false;
    thread_local std::string target;
    canonicalInto(path, followFinal, target);
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    grantDefaults(r);
    for (const Grant& grant : r.standing) {
        if ((reading || !grant.readOnly) && inside(target, grant.path))
            return true;
    }
    for (const auto& [path, scope] : r.scopes) {
        if (inside(target, scope.root))
            return true;
    }
    return false;
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

void folderNamesChanged() { folderGeneration.fetch_add(1, std::memory_order_release); }

bool hasAccess(const QString& path, bool followFinalLink) { return check(path, followFinalLink, false); }

bool hasReadAccess(const QString& path, bool followFinalLink) { return check(path, followFinalLink, true); }

void resetForTesting()
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.defaultsGranted = false;
    r.standing.clear();
    r.scopes.clear();
    folderNamesChanged();  // a test's folders may come and go under the same names
}

}  // namespace AccessRegistry

}  // namespace hb
