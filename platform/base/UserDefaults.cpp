#include "platform/base/UserDefaults.h"

#include "platform/base/Locations.h"
#include "platform/base/Log.h"
#include "platform/base/MainQueue.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/ProgramIdentity.h"
#include "platform/base/UserDefaultsTypedJson.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace hb {

namespace {

constexpr std::chrono::milliseconds kAutoSynchronizeDelay{200};

// An advisory lock on "<file>.lock", held while the file is read, merged and written.
class FileLock {
public:
    explicit FileLock(const QString& path)
    {
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd < 0)
            return;
        while (::flock(m_fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                ::close(m_fd);
                m_fd = -1;
                return;
            }
        }
    }
    ~FileLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool isLocked() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// What the file on disk was when last read or written, to notice another process's writes.
struct FileStamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};

    static FileStamp of(const QString& path)
    {
        FileStamp stamp;
        struct stat info {};
        if (::stat(QFile::encodeName(path).constData(), &info) != 0)
            return stamp;
        stamp.exists = true;
        stamp.device = info.st_dev;
        stamp.inode = info.st_ino;
        stamp.size = info.st_size;
        stamp.modified = info.st_mtim;
        return stamp;
    }
    bool operator==(const FileStamp& other) const
    {
        return exists == other.exists && device == other.device && inode == other.inode && size == other.size
               && modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec;
    }
};

// A write killed after its temporary file got a name and before the rename leaves that file beside
// ours ("<file>.XXXXXX"). Called with the file lock held, when no write of ours is under way.
void removeKilledWriteLeftovers(const QString& path)
{
    const QFileInfo info(path);
    const QRegularExpression temporary(
        QStringLiteral("^%1\\.[A-Za-z0-9]{6}$").arg(QRegularExpression::escape(info.fileName())));
    const QStringList names = QDir(info.path())
                                  .entryList({info.fileName() + QStringLiteral(".??????")},
                                             QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        if (!temporary.match(name).hasMatch())
            continue;
        qCWarning(hbLog) << "removing" << name << "left by a defaults write that did not finish";
        QFile::remove(info.path() + u'/' + name);
    }
}

struct SetAsideRecord {
    std::mutex mutex;
    QList<SetAsideDefaultsFile> files;
};

SetAsideRecord& setAside()
{
    static SetAsideRecord* shared = new SetAsideRecord;
    return *shared;
}

// Kept until someone takes it, so the person can be told; announced once the main thread can tell.
void noteSetAside(const QString& path, const QString& keptAs)
{
    qCWarning(hbLog) << "defaults file" << path << "does not parse; kept as" << keptAs;
    {
        std::lock_guard lock(setAside().mutex);
        setAside().files.append({path, keptAs});
    }
    MainQueue::async([] { NotificationCenter::defaultCenter().post(UserDefaultsFileSetAsideNotification); });
}

// Moves an unreadable file aside under a name that is never reused, so nothing is overwritten.
bool moveAside(const QString& path)
{
    const QString base = path + QStringLiteral(".corrupt-")
                         + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    const QByteArray from = QFile::encodeName(path);
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const QString target = attempt == 0 ? base : base + QStringLiteral("-%1").arg(attempt);
        const QByteArray to = QFile::encodeName(target);
        if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
            noteSetAside(path, target);
            return true;
        }
        if (errno == EEXIST)
            continue;
        if (errno != EINVAL && errno != ENOSYS)
            break;
        // File systems without no-replace renames: link, then drop the old name.
        if (::link(from.constData(), to.constData()) == 0) {
            ::unlink(from.constData());
            noteSetAside(path, target);
            return true;
        }
        if (errno != EEXIST)
            break;
    }
    qCWarning(hbLog) << "defaults file" << path << "does not parse and cannot be moved aside";
    return false;
}

struct FileContents {
    bool usable = true;  // false: unreadable and could not be moved aside; do not write over it
    QVariantMap values;
};

// Reads the file; the caller holds the file lock. A file that does not parse is moved aside.
FileContents readFile(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(hbLog) << "cannot read defaults file" << path << file.errorString();
        return {false, {}};
    }
    QStringList undecodable;
    if (const auto values = TypedJson::decodeDocument(file.readAll(), &undecodable)) {
        for (const QString& key : undecodable)
            qCWarning(hbLog) << "defaults file" << path << "holds a value this version cannot read for" << key
                             << "; it is kept as it is written";
        return {true, *values};
    }
    file.close();
    return {moveAside(path), {}};
}

bool writeFile(const QString& path, const QVariantMap& values)
{
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        qCWarning(hbLog) << "cannot write defaults file" << path << file.errorString();
        return false;
    }
    // The standard store holds bookmark paths: private to the user, whatever the umask or an older file's mode.
    if (::fchmod(file.handle(), S_IRUSR | S_IWUSR) != 0) {
        qCWarning(hbLog) << "cannot make defaults file private" << path << std::strerror(errno);
        file.cancelWriting();
        return false;
    }
    file.write(TypedJson::encodeDocument(values));
    if (!file.commit()) {
        qCWarning(hbLog) << "cannot write defaults file" << path << file.errorString();
        return false;
    }
    return true;
}

bool isNumeric(const QVariant& value)
{
    const int type = value.typeId();
    return type == QMetaType::LongLong || type == QMetaType::Double || type == QMetaType::Bool;
}

// Leading "Y", "y", "T", "t" or a non-zero digit (after sign and zeros) reads as true.
bool stringBool(const QString& text)
{
    QString trimmed = text.trimmed();
    if (trimmed.startsWith(u'+') || trimmed.startsWith(u'-'))
        trimmed.remove(0, 1);
    while (trimmed.startsWith(u'0'))
        trimmed.remove(0, 1);
    if (trimmed.isEmpty())
        return false;
    const QChar first = trimmed.at(0);
    return first == u'Y' || first == u'y' || first == u'T' || first == u't' || (first >= u'1' && first <= u'9');
}

}  // namespace

class UserDefaults::Private {
public:
    explicit Private(const QString& suiteName) : name(suiteName) {}

    const QString name;  // the suite, or the standard store's name

    mutable std::mutex mutex;
    bool loaded = false;
    QString path;
    QVariantMap values;
    QVariantMap registered;
    std::map<QString, quint64> dirty;  // changed or removed keys not yet written, with their change number
    quint64 changeNumber = 0;
    bool synchronizeScheduled = false;
    FileStamp stamp;

    std::mutex synchronizeMutex;  // one read-merge-write at a time

    // With `mutex` held.
    void ensureLoaded()
    {
        if (loaded)
            return;
        path = Locations::applicationConfigDirectory() + u'/' + name + QStringLiteral(".json");
        values.clear();
        // Reading may move an unreadable file aside: take the file lock when the folder allows it.
        std::optional<FileLock> lock;
        if (QFileInfo::exists(path) && QFileInfo(QFileInfo(path).path()).isWritable()) {
            lock.emplace(path + QStringLiteral(".lock"));
            if (lock->isLocked())
                removeKilledWriteLeftovers(path);
        }
        values = readFile(path).values;
        stamp = FileStamp::of(path);
        loaded = true;
    }

    // With `mutex` held: takes the file's values for every key this process has not changed.
    QStringList adopt(const QVariantMap& fileValues)
    {
        QStringList changed;
        for (auto it = fileValues.cbegin(); it != fileValues.cend(); ++it) {
            if (dirty.contains(it.key()))
                continue;
            const auto current = values.constFind(it.key());
            if (current == values.cend() || !TypedJson::identical(*current, it.value())) {
                values.insert(it.key(), it.value());
                changed.append(it.key());
            }
        }
        for (auto it = values.begin(); it != values.end();) {
            if (!dirty.contains(it.key()) && !fileValues.contains(it.key())) {
                changed.append(it.key());
                it = values.erase(it);
            } else {
                ++it;
            }
        }
        return changed;
    }

    // Writes this process's changes over the file's current contents under the file lock. With
    // `takeOthers`, keys we did not change take the file's values and land in `changed`.
    bool synchronize(bool takeOthers, QStringList& changed)
    {
        std::lock_guard syncLock(synchronizeMutex);
        QString file;
        std::map<QString, std::pair<quint64, std::optional<QVariant>>> pending;
        {
            std::lock_guard lock(mutex);
            // Never read: nothing of ours to write, and the first use reads the file anyway.
            if (!loaded)
                return true;
            file = path;
            for (const auto& [key, number] : dirty) {
                const auto value = values.constFind(key);
                pending.emplace(key, std::make_pair(number, value != values.cend() ? std::optional<QVariant>(*value)
                                                                                   : std::nullopt));
            }
            // Nothing of ours to write and nobody else wrote: leave the file alone.
            if (pending.empty() && (!takeOthers || FileStamp::of(file) == stamp))
                return true;
        }

        if (pending.empty() && !QFileInfo::exists(QFileInfo(file).path())) {
            std::lock_guard lock(mutex);
            stamp = FileStamp::of(file);
            return true;
        }
        if (!QDir().mkpath(QFileInfo(file).path())) {
            qCWarning(hbLog) << "cannot create the folder of" << file;
            return false;
        }
        std::optional<FileLock> fileLock(std::in_place, file + QStringLiteral(".lock"));
        if (!fileLock->isLocked()) {
            qCWarning(hbLog) << "cannot lock defaults file" << file;
            return false;
        }
        FileContents contents = readFile(file);
        if (!contents.usable)
            return false;
        QVariantMap merged = contents.values;
        for (const auto& [key, change] : pending) {
            if (change.second)
                merged.insert(key, *change.second);
            else
                merged.remove(key);
        }
        if (!pending.empty() && !writeFile(file, merged))
            return false;
        const FileStamp written = FileStamp::of(file);
        fileLock.reset();  // never wait for `mutex` while other processes wait for the file

        {
            std::lock_guard lock(mutex);
            for (const auto& [key, change] : pending) {
                const auto entry = dirty.find(key);
                if (entry != dirty.end() && entry->second == change.first)
                    dirty.erase(entry);
            }
            if (takeOthers)
                changed = adopt(merged);
            stamp = written;
        }
        return true;
    }

    QVariant object(const QString& key)
    {
        std::lock_guard lock(mutex);
        ensureLoaded();
        const auto stored = values.constFind(key);
        // A value this version cannot read is only carried along for the file; it reads as absent.
        if (stored == values.cend() || stored->typeId() == qMetaTypeId<TypedJson::UndecodedValue>())
            return registered.value(key);
        return *stored;
    }
};

namespace {

struct Registry {
    std::mutex mutex;
    UserDefaults* standard = nullptr;
    std::map<QString, UserDefaults*> suites;
    bool exitHooksInstalled = false;

    std::vector<UserDefaults*> all()
    {
        std::lock_guard lock(mutex);
        std::vector<UserDefaults*> list;
        if (standard != nullptr)
            list.push_back(standard);
        for (const auto& [name, store] : suites)
            list.push_back(store);
        return list;
    }
};

// Stores live until the process ends, so references handed out never dangle.
Registry& registry()
{
    static Registry* shared = new Registry;
    return *shared;
}

}  // namespace

// With the registry locked: nothing changed is lost when the application or the process ends.
void UserDefaults::installExitHooks()
{
    Registry& shared = registry();
    if (shared.exitHooksInstalled)
        return;
    shared.exitHooksInstalled = true;
    qAddPostRoutine(writeAllPending);
    std::atexit(writeAllPending);
}

// Only writes: at exit nobody may be told of other processes' changes any more.
void UserDefaults::writeAllPending()
{
    QStringList ignored;
    for (UserDefaults* store : registry().all())
        store->d->synchronize(false, ignored);
}

UserDefaults::UserDefaults(const QString& name) : d(std::make_unique<Private>(name))
{
    if (QCoreApplication* app = QCoreApplication::instance())
        moveToThread(app->thread());
}

UserDefaults::~UserDefaults() = default;

UserDefaults& UserDefaults::standard()
{
    Registry& shared = registry();
    std::lock_guard lock(shared.mutex);
    if (shared.standard == nullptr) {
        shared.standard = new UserDefaults(programIdentity().applicationId);
        installExitHooks();
    }
    return *shared.standard;
}

UserDefaults* UserDefaults::suite(const QString& suiteName)
{
    if (suiteName.isEmpty() || suiteName.contains(u'/') || suiteName.contains(QChar(0)) || suiteName == u"."
        || suiteName == u"..")
        return nullptr;
    if (suiteName == programIdentity().applicationId)
        return &standard();
    Registry& shared = registry();
    std::lock_guard lock(shared.mutex);
    UserDefaults*& store = shared.suites[suiteName];
    if (store == nullptr) {
        store = new UserDefaults(suiteName);
        installExitHooks();
    }
    return store;
}

void UserDefaults::resetSharedInstances()
{
    writeAllPending();
    for (UserDefaults* store : registry().all()) {
        std::lock_guard syncLock(store->d->synchronizeMutex);
        std::lock_guard lock(store->d->mutex);
        store->d->loaded = false;
        store->d->path.clear();
        store->d->values.clear();
        store->d->registered.clear();
        store->d->dirty.clear();
        store->d->stamp = {};
    }
    takeSetAsideFiles();
}

QList<SetAsideDefaultsFile> UserDefaults::takeSetAsideFiles()
{
    std::lock_guard lock(setAside().mutex);
    return std::exchange(setAside().files, {});
}

QString UserDefaults::filePath() const
{
    std::lock_guard lock(d->mutex);
    d->ensureLoaded();
    return d->path;
}

QVariant UserDefaults::object(const QString& key) const
{
    return d->object(key);
}

bool UserDefaults::boolForKey(const QString& key) const
{
    const QVariant value = object(key);
    if (value.typeId() == QMetaType::QString)
        return stringBool(value.toString());
    return isNumeric(value) && value.toDouble() != 0.0;
}

qlonglong UserDefaults::integerForKey(const QString& key) const
{
    const QVariant value = object(key);
    if (value.typeId() == QMetaType::Double) {
        const double number = value.toDouble();
        if (number != number)
            return 0;
        if (number >= 9.2233720368547758e18)
            return std::numeric_limits<qlonglong>::max();
        if (number <= -9.2233720368547758e18)
            return std::numeric_limits<qlonglong>::min();
        return static_cast<qlonglong>(number);
    }
    if (isNumeric(value))
        return value.toLongLong();
    if (value.typeId() == QMetaType::QString) {
        bool ok = false;
        const qlonglong number = value.toString().trimmed().toLongLong(&ok);
        return ok ? number : static_cast<qlonglong>(value.toString().trimmed().toDouble());
    }
    return 0;
}

double UserDefaults::doubleForKey(const QString& key) const
{
    const QVariant value = object(key);
    if (isNumeric(value))
        return value.toDouble();
    if (value.typeId() == QMetaType::QString)
        return value.toString().trimmed().toDouble();
    return 0.0;
}

QString UserDefaults::stringForKey(const QString& key) const
{
    const QVariant value = object(key);
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

QByteArray UserDefaults::dataForKey(const QString& key) const
{
    const QVariant value = object(key);
    return value.typeId() == QMetaType::QByteArray ? value.toByteArray() : QByteArray();
}

QVariantList UserDefaults::arrayForKey(const QString& key) const
{
    const QVariant value = object(key);
    return value.typeId() == QMetaType::QVariantList ? value.toList() : QVariantList();
}

QVariantMap UserDefaults::dictionaryForKey(const QString& key) const
{
    const QVariant value = object(key);
    return value.typeId() == QMetaType::QVariantMap ? value.toMap() : QVariantMap();
}

void UserDefaults::setObject(const QString& key, const QVariant& value)
{
    std::optional<QVariant> stored;
    if (value.isValid()) {
        stored = TypedJson::canonical(value);
        if (!stored) {
            qCWarning(hbLog) << "defaults cannot store a value of type" << value.typeName() << "for" << key;
            return;
        }
        // A value the file would not give back as it is (and could not even parse) is refused.
        if (!TypedJson::roundTrips(*stored)) {
            qCWarning(hbLog) << "defaults cannot store this value without changing it, for" << key;
            return;
        }
    }
    bool schedule = false;
    {
        std::lock_guard lock(d->mutex);
        d->ensureLoaded();
        const auto current = d->values.constFind(key);
        const bool present = current != d->values.cend();
        if (stored ? (present && TypedJson::identical(*current, *stored)) : !present)
            return;
        if (present && current->typeId() == qMetaTypeId<TypedJson::UndecodedValue>())
            qCWarning(hbLog).noquote() << "defaults: the value of" << key
                                       << "that this version could not read is replaced; it was:"
                                       << QString::fromUtf8(current->value<TypedJson::UndecodedValue>().json);
        if (stored)
            d->values.insert(key, *stored);
        else
            d->values.remove(key);
        d->dirty[key] = ++d->changeNumber;
        schedule = !d->synchronizeScheduled;
        d->synchronizeScheduled = true;
    }
    if (schedule) {
        const bool scheduled = MainQueue::after(kAutoSynchronizeDelay, [this] {
            {
                std::lock_guard lock(d->mutex);
                d->synchronizeScheduled = false;
            }
            synchronize();
        });
        if (!scheduled) {
            std::lock_guard lock(d->mutex);
            d->synchronizeScheduled = false;
        }
    }
    emit valueChanged(key);
}

void UserDefaults::removeObject(const QString& key)
{
    setObject(key, QVariant());
}

void UserDefaults::registerDefaults(const QVariantMap& defaults)
{
    QStringList changed;
    {
        std::lock_guard lock(d->mutex);
        d->ensureLoaded();
        for (auto it = defaults.cbegin(); it != defaults.cend(); ++it) {
            const auto value = TypedJson::canonical(it.value());
            if (!value) {
                qCWarning(hbLog) << "defaults cannot register a value of type" << it.value().typeName() << "for"
                                 << it.key();
                continue;
            }
            const bool visible = !d->values.contains(it.key());
            if (visible && !TypedJson::identical(d->registered.value(it.key()), *value))
                changed.append(it.key());
            d->registered.insert(it.key(), *value);
        }
    }
    for (const QString& key : changed)
        emit valueChanged(key);
}

bool UserDefaults::synchronize()
{
    QStringList changed;
    const bool written = d->synchronize(true, changed);
    for (const QString& key : changed)
        emit valueChanged(key);
    return written;
}

}  // namespace hb
