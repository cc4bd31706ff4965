#include "platform/files/Bookmark.h"

#include "platform/files/AccessRegistry.h"
#include "platform/files/GrantResolver.h"
#include "platform/files/HeldFolders.h"
#include "platform/files/ResourceValues.h"
#include "platform/files/StatValues.h"
#include "platform/files/Volumes.h"

#include <QHash>
#include <QtEndian>

#include <dirent.h>
#include <fcntl.h>
#include <sys/statfs.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace hb {

namespace {

// Layout (little endian): "HBBK", version u16, flags u16, path, item identity, ancestor count u32 and
// per ancestor (identity, name), value count u32 and per value (key, type u8, value), FNV-1a 64 of
// everything before it. Strings are u32 length + UTF-8. An identity is device, file-system id and inode:
// the id keeps an item recognisable after a reboot gives its file system another device number.
constexpr char kMagic[4] = {'H', 'B', 'B', 'K'};
constexpr quint16 kVersion = 1;
constexpr quint16 kFlagSecurityScope = 1;
constexpr quint16 kFlagDirectory = 2;
constexpr quint16 kFlagLink = 4;
constexpr quint32 kMaxValues = 64;
constexpr quint32 kMaxPathBytes = 64 * 1024;
enum ValueType : quint8 { TypeBool = 1, TypeUnsigned = 2, TypeString = 3 };

struct Identity {
    quint64 device = 0;
    quint64 fileSystem = 0;
    quint64 inode = 0;
};

struct Data {
    quint16 flags = 0;
    QString path;
    Identity item;
    QList<Identity> ancestors;  // "/" first, then each folder down to the item's parent
    QVariantMap values;
};

quint64 fnv1a(const char* bytes, qsizetype size)
{
    quint64 hash = 0xcbf29ce484222325ULL;
    for (qsizetype i = 0; i < size; ++i) {
        hash ^= quint8(bytes[i]);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

class Writer {
public:
    template <typename T>
    void put(T value)
    {
        const T little = qToLittleEndian(value);
        bytes.append(reinterpret_cast<const char*>(&little), sizeof little);
    }
    void putString(const QString& text)
    {
        const QByteArray utf8 = text.toUtf8();
        put<quint32>(quint32(utf8.size()));
        bytes.append(utf8);
    }
    void putIdentity(const Identity& id)
    {
        put(id.device);
        put(id.fileSystem);
        put(id.inode);
    }
    QByteArray bytes;
};

class Reader {
public:
    explicit Reader(const QByteArray& data, qsizetype end) : m_data(data), m_end(end) {}

    template <typename T>
    bool get(T& value)
    {
        if (m_end - m_pos < qsizetype(sizeof(T)))
            return false;
        quint64 v = 0;
        for (size_t i = 0; i < sizeof(T); ++i)
            v |= quint64(quint8(m_data[m_pos + i])) << (8 * i);
        m_pos += sizeof(T);
        value = T(v);
        return true;
    }
    // The bytes of a string as they lie in the data.
    bool getBytes(QByteArrayView& bytes, quint32 limit = kMaxPathBytes)
    {
        quint32 size = 0;
        if (!get(size) || size > limit || quint64(size) > quint64(m_end - m_pos))
            return false;
        bytes = QByteArrayView(m_data.constData() + m_pos, size);
        m_pos += size;
        return true;
    }
    bool getString(QString& text, quint32 limit = kMaxPathBytes)
    {
        QByteArrayView utf8;
        if (!getBytes(utf8, limit) || utf8.contains('\0'))
            return false;
        text = QString::fromUtf8(utf8);
        return text.toUtf8() == utf8;  // rejects invalid UTF-8
    }
    bool getIdentity(Identity& id) { return get(id.device) && get(id.fileSystem) && get(id.inode); }
    bool atEnd() const { return m_pos == m_end; }

private:
    const QByteArray& m_data;
    qsizetype m_end;
    qsizetype m_pos = 0;
};

QStringList componentsOf(const QString& path)
{
    return path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
}

QString prefixPath(const QStringList& components, qsizetype count)
{
    return count == 0 ? QStringLiteral("/") : QLatin1Char('/') + components.mid(0, count).join(QLatin1Char('/'));
}

std::optional<Data> parse(const QByteArray& bytes)
{
    if (bytes.size() < qsizetype(sizeof kMagic + 4 + 8) || std::memcmp(bytes.constData(), kMagic, sizeof kMagic) != 0)
        return std::nullopt;
    const qsizetype body = bytes.size() - 8;
    quint64 checksum = 0;
    for (int i = 0; i < 8; ++i)
        checksum |= quint64(quint8(bytes[body + i])) << (8 * i);
    if (checksum != fnv1a(bytes.constData(), body))
        return std::nullopt;
    Reader in(bytes, body);
    char magic[4];
    for (char& c : magic)
        in.get(c);
    quint16 version = 0;
    Data data;
    if (!in.get(version) || version != kVersion || !in.get(data.flags) || !in.getString(data.path)
        || !in.getIdentity(data.item))
        return std::nullopt;
    if (!data.path.startsWith(QLatin1Char('/')) || URL::normalisedPath(data.path) != data.path)
        return std::nullopt;
    // The names of the ancestors are compared as bytes with the path's components, which are valid text.
    const QByteArray pathBytes = data.path.toUtf8();
    std::vector<QByteArrayView> components;
    for (qsizetype start = 1; start < pathBytes.size();) {
        const qsizetype slash = pathBytes.indexOf('/', start);
        const qsizetype end = slash < 0 ? pathBytes.size() : slash;
        if (end > start)
            components.emplace_back(pathBytes.constData() + start, end - start);
        start = end + 1;
    }
    quint32 ancestorCount = 0;
    if (!in.get(ancestorCount) || qsizetype(ancestorCount) != std::max<qsizetype>(qsizetype(components.size()), 1))
        return std::nullopt;
    data.ancestors.reserve(ancestorCount);
    for (quint32 i = 0; i < ancestorCount; ++i) {
        Identity id;
        QByteArrayView name;
        if (!in.getIdentity(id) || !in.getBytes(name))
            return std::nullopt;
        if (name != (i == 0 ? QByteArrayView() : components[i - 1]))
            return std::nullopt;
        data.ancestors.append(id);
    }
    quint32 valueCount = 0;
    if (!in.get(valueCount) || valueCount > kMaxValues)
        return std::nullopt;
    for (quint32 i = 0; i < valueCount; ++i) {
        QString key;
        quint8 type = 0;
        if (!in.getString(key, 256) || !in.get(type))
            return std::nullopt;
        if (type == TypeBool) {
            quint8 v = 0;
            if (!in.get(v) || v > 1)
                return std::nullopt;
            data.values.insert(key, bool(v));
        } else if (type == TypeUnsigned) {
            quint64 v = 0;
            if (!in.get(v))
                return std::nullopt;
            data.values.insert(key, v);
        } else if (type == TypeString) {
            QString v;
            if (!in.getString(v))
                return std::nullopt;
            data.values.insert(key, v);
        } else {
            return std::nullopt;
        }
    }
    if (!in.atEnd())
        return std::nullopt;
    return data;
}

// The ancestor section (count, then identity and name of each): the same for every item of a folder.
QByteArray encodeAncestors(const QList<Identity>& ancestors, const QStringList& components)
{
    Writer out;
    out.put(quint32(ancestors.size()));
    for (qsizetype i = 0; i < ancestors.size(); ++i) {
        out.putIdentity(ancestors[i]);
        out.putString(i == 0 ? QString() : components[i - 1]);
    }
    return out.bytes;
}

QByteArray serialise(const Data& data, const QByteArray& encodedAncestors)
{
    Writer out;
    out.bytes.reserve(256 + 2 * data.path.size() + encodedAncestors.size());
    out.bytes.append(kMagic, sizeof kMagic);
    out.put(kVersion);
    out.put(data.flags);
    out.putString(data.path);
    out.putIdentity(data.item);
    out.bytes.append(encodedAncestors);
    out.put(quint32(data.values.size()));
    for (auto it = data.values.begin(); it != data.values.end(); ++it) {
        out.putString(it.key());
        if (it.value().typeId() == QMetaType::Bool) {
            out.put(quint8(TypeBool));
            out.put(quint8(it.value().toBool()));
        } else if (it.value().typeId() == QMetaType::QString) {
            out.put(quint8(TypeString));
            out.putString(it.value().toString());
        } else {
            out.put(quint8(TypeUnsigned));
            out.put(it.value().toULongLong());
        }
    }
    out.put(fnv1a(out.bytes.constData(), out.bytes.size()));
    return out.bytes;
}

quint64 fileSystemId(const QString& path)
{
    struct statfs st {};
    if (::statfs(path.toUtf8().constData(), &st) != 0)
        return 0;
    quint64 id = 0;
    static_assert(sizeof st.f_fsid == 8);
    std::memcpy(&id, &st.f_fsid, sizeof id);
    return id;
}

bool statPath(const QString& path, struct statx* st)
{
    return StatValues::read(AT_FDCWD, path.toUtf8().constData(), st);
}

// The file system's id decides where it is known: a device number is given to whatever is mounted
// next (another drive in the same port, another image on the same loop device).
bool sameVolume(const struct statx& st, const QString& path, const Identity& id)
{
    if (id.fileSystem != 0) {
        if (const quint64 now = fileSystemId(path); now != 0)
            return now == id.fileSystem;
    }
    return StatValues::deviceOf(st) == id.device;
}

bool matches(const struct statx& st, const QString& path, const Identity& id)
{
    return st.stx_ino == id.inode && sameVolume(st, path, id);
}

// Finds the entry of `folder` that is `id`: under its recorded name, else by identity among the
// entries, else a replacement under the recorded name on the same volume and of the same kind.
std::optional<QString> locate(const QString& folder, const QString& name, const Identity& id, bool isDirectory,
                              bool isLink)
{
    struct statx st {};
    const QString byName = Path::join(folder, name);
    // A link where no link was recorded (or the reverse) is another item, whatever its inode number.
    const bool nameExists = statPath(byName, &st) && S_ISLNK(st.stx_mode) == isLink;
    if (nameExists && matches(st, byName, id))
        return name;
    if (DIR* dir = ::opendir(folder.toUtf8().constData())) {
        std::optional<QString> found;
        while (dirent* entry = ::readdir(dir)) {
            if (!std::strcmp(entry->d_name, ".") || !std::strcmp(entry->d_name, ".."))
                continue;
            struct statx candidate {};
            if (StatValues::read(::dirfd(dir), entry->d_name, &candidate) && candidate.stx_ino == id.inode
                && S_ISLNK(candidate.stx_mode) == isLink) {
                const QString entryName = QString::fromUtf8(entry->d_name);
                if (sameVolume(candidate, Path::join(folder, entryName), id)) {
                    found = entryName;
                    break;
                }
            }
        }
        ::closedir(dir);
        if (found)
            return found;
    }
    if (nameExists && sameVolume(st, byName, id) && S_ISDIR(st.stx_mode) == isDirectory)
        return name;
    return std::nullopt;
}

Error bookmarkError(int code, const QString& path)
{
    return Error{NSCocoaErrorDomain, code, {{NSFilePathErrorKey, path}}};
}

// The identities of "/" and of each folder down to the `count`th prefix of `components`.
std::optional<QList<Identity>> ancestorChain(const QStringList& components, qsizetype count, Error* error)
{
    QList<Identity> chain;
    quint64 lastDevice = 0;
    quint64 lastFileSystem = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const QString ancestor = prefixPath(components, i);
        struct statx st {};
        if (!statPath(ancestor, &st)) {
            if (error)
                *error = Error::fromErrno(errno, ancestor, false);
            return std::nullopt;
        }
        const quint64 device = StatValues::deviceOf(st);
        if (device != lastDevice || lastFileSystem == 0) {
            lastDevice = device;
            lastFileSystem = fileSystemId(ancestor);
        }
        chain.append(Identity{device, lastFileSystem, quint64(st.stx_ino)});
    }
    return chain;
}

bool isStillAt(const QString& path, const Identity& id)
{
    struct statx st {};
    return statPath(path, &st) && StatValues::deviceOf(st) == id.device && st.stx_ino == id.inode;
}

// The URL of a resolved item; a scoped one tells the registry which item its scope may open.
URL resolvedURL(const QString& path, const struct statx& st, bool scoped)
{
    if (scoped)
        AccessRegistry::noteResolvedItem(path, ItemIdentity{StatValues::deviceOf(st), quint64(st.stx_ino)});
    return URL::fileURLWithPath(path, S_ISDIR(st.stx_mode)).withSecurityScope(scoped);
}

}  // namespace

namespace Bookmark {

struct Maker::Folders {
    struct Chain {
        QList<Identity> identities;
        QByteArray encoded;
    };
    HeldFolders held;
    QHash<QString, Chain> chains;  // by the path of the chain's last folder
    QHash<quint64, bool> internalByDevice;
};

Maker::Maker() : m_folders(std::make_unique<Folders>()) {}

Maker::~Maker() = default;

std::optional<QByteArray> Maker::create(const URL& url, unsigned options, const QStringList& keys, Error* error)
{
    return make(url, options, keys, false, error);
}

std::optional<QByteArray> Maker::createIfReadable(const URL& url, unsigned options, const QStringList& keys,
                                                  Error* error)
{
    return make(url, options, keys, true, error);
}

std::optional<QByteArray> Maker::make(const URL& url, unsigned options, const QStringList& keys, bool onlyReadable,
                                      Error* error)
{
    const QString& path = url.path();
    auto fail = [&](int code, const QString& at) {
        if (error)
            *error = Error::fromErrno(code, at, false);
        return std::nullopt;
    };
    const QString folder = Path::parent(path);
    auto chain = m_folders->chains.constFind(folder);
    if (chain != m_folders->chains.constEnd() && !isStillAt(folder, chain->identities.constLast())) {
        // Another folder is at the path by now: it and its items are found afresh.
        m_folders->chains.erase(chain);
        chain = m_folders->chains.constEnd();
        m_folders->held.forget(folder);
    }
    const HeldItem resolved = m_folders->held.item(path, Need::writing);
    if (!resolved)
        return fail(resolved.error, path);
    struct statx item {};
    if (!StatValues::read(resolved.folder, resolved.name.c_str(), &item))
        return fail(errno, path);
    // Starting the bookmark's scope opens what a final link points to, so that needs the access too.
    if (S_ISLNK(item.stx_mode) && !GrantResolver::open(path, Need::writing))
        return fail(EACCES, path);
    const StatValues::ItemAt at{resolved.folder, resolved.name.c_str(), path};
    if (onlyReadable && !StatValues::value(at, item, NSURLIsReadableKey).toBool())
        return fail(EACCES, path);

    if (chain == m_folders->chains.constEnd()) {
        const QStringList components = componentsOf(path);
        const auto made = ancestorChain(components, std::max<qsizetype>(components.size(), 1), error);
        if (!made)
            return std::nullopt;
        chain = m_folders->chains.insert(folder, {*made, encodeAncestors(*made, components)});
    }

    Data data;
    data.path = path;
    const Identity& last = chain->identities.constLast();
    const quint64 device = StatValues::deviceOf(item);
    const quint64 fileSystem = device == last.device && last.fileSystem != 0 ? last.fileSystem : fileSystemId(path);
    data.item = Identity{device, fileSystem, quint64(item.stx_ino)};
    data.flags = (options & NSURLBookmarkCreationWithSecurityScope ? kFlagSecurityScope : 0)
                 | (S_ISDIR(item.stx_mode) ? kFlagDirectory : 0) | (S_ISLNK(item.stx_mode) ? kFlagLink : 0);
    for (const QString& key : keys) {
        const QVariant value = StatValues::value(at, item, key);
        const auto type = value.typeId();
        if (type == QMetaType::Bool || type == QMetaType::QString || type == QMetaType::ULongLong)
            data.values.insert(key, value);
    }
    // Items with one device number lie on one mounted file system, however many mounts show it.
    auto internal = m_folders->internalByDevice.constFind(device);
    if (internal == m_folders->internalByDevice.constEnd()) {
        const auto volume = Volumes::volumeForPath(path);
        internal = m_folders->internalByDevice.insert(device, volume ? volume->isInternal : true);
    }
    data.values.insert(NSURLVolumeIsInternalKey, *internal);
    return serialise(data, chain->encoded);
}

std::optional<QByteArray> create(const URL& url, unsigned options, const QStringList& keys, Error* error)
{
    return Maker().create(url, options, keys, error);
}

std::optional<URL> resolve(const QByteArray& bytes, unsigned options, bool* isStale, Error* error)
{
    if (isStale)
        *isStale = false;
    const auto data = parse(bytes);
    if (!data) {
        if (error)
            *error = bookmarkError(259, {});
        return std::nullopt;
    }
    const bool scoped = options & NSURLBookmarkResolutionWithSecurityScope;
    const bool isDirectory = data->flags & kFlagDirectory;
    const bool isLink = data->flags & kFlagLink;
    struct statx st {};
    if (statPath(data->path, &st) && S_ISLNK(st.stx_mode) == isLink && matches(st, data->path, data->item))
        return resolvedURL(data->path, st, scoped);

    // Find the nearest ancestor still where it was recorded, then walk down by identity.
    const QStringList components = componentsOf(data->path);
    qsizetype surviving = data->ancestors.size() - 1;
    for (; surviving > 0; --surviving) {
        const QString ancestor = prefixPath(components, surviving);
        if (statPath(ancestor, &st) && matches(st, ancestor, data->ancestors[surviving]))
            break;
    }
    QString current = prefixPath(components, surviving);
    for (qsizetype level = surviving + 1; level <= components.size(); ++level) {
        const bool isItem = level == components.size();
        const Identity& id = isItem ? data->item : data->ancestors[level];
        const auto name = locate(current, components[level - 1], id, isItem ? isDirectory : true, isItem && isLink);
        if (!name) {
            if (error)
                *error = bookmarkError(NSFileNoSuchFileError, data->path);
            return std::nullopt;
        }
        current = Path::join(current, *name);
    }
    if (isStale)
        *isStale = true;
    if (!statPath(current, &st)) {
        if (error)
            *error = bookmarkError(NSFileNoSuchFileError, data->path);
        return std::nullopt;
    }
    return resolvedURL(current, st, scoped);
}

std::optional<QVariantMap> resourceValues(const QByteArray& bytes, const QStringList& keys)
{
    const auto data = parse(bytes);
    if (!data)
        return std::nullopt;
    QVariantMap values;
    for (const QString& key : keys) {
        if (data->values.contains(key))
            values.insert(key, data->values.value(key));
    }
    return values;
}

bool isOnAbsentVolume(const QByteArray& bytes)
{
    const auto data = parse(bytes);
    if (!data)
        return false;
    struct statx item {};
    if (statPath(data->path, &item) && matches(item, data->path, data->item))
        return false;
    const QStringList components = componentsOf(data->path);
    for (qsizetype level = data->ancestors.size() - 1; level >= 0; --level) {
        const QString ancestor = prefixPath(components, level);
        struct statx st {};
        if (!statPath(ancestor, &st) || !matches(st, ancestor, data->ancestors[level]))
            continue;
        const Identity& folder = data->ancestors[level];
        const bool sameFileSystem = folder.fileSystem != 0 && folder.fileSystem == data->item.fileSystem;
        return !sameFileSystem && folder.device != data->item.device;
    }
    return false;
}

}  // namespace Bookmark

}  // namespace hb
