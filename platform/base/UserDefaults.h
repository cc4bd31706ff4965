#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <memory>
#include <mutex>

namespace hb {

// A defaults file that did not parse: where it was, and the name it is kept under now.
struct SetAsideDefaultsFile {
    QString path;
    QString keptAs;
};

// Posted on the default centre, on the main thread, after a defaults file was moved aside.
inline const QString UserDefaultsFileSetAsideNotification = QStringLiteral("UserDefaultsFileSetAside");

// A defaults store: the standard one (applicationConfigDirectory()/<application id>.json) or a named
// suite (applicationConfigDirectory()/<suite>.json). Values are Bool, integer (qlonglong), double,
// QString, QDateTime, QByteArray, QVariantList and QVariantMap, nested freely; the file keeps each
// value's type. Safe to use from any thread. Every change is announced through valueChanged (emitted
// on the changing thread). The file is written atomically and locked against a second process; a file
// that does not parse is moved aside (kept) and the store starts empty.
class UserDefaults : public QObject {
    Q_OBJECT
public:
    static UserDefaults& standard();
    // One shared instance per suite name; none for an empty or unsafe name (containing '/', or "." / "..");
    // the standard store's own name answers the standard store.
    static UserDefaults* suite(const QString& suiteName);
    // Writes what is pending, then empties every shared store (values and registered defaults) so its next
    // use reads the file again from the current roots (tests redirect them), and forgets the files set
    // aside. References stay valid.
    static void resetSharedInstances();
    // The files moved aside since the last call, in the order it happened; each is also announced by
    // UserDefaultsFileSetAsideNotification.
    static QList<SetAsideDefaultsFile> takeSetAsideFiles();
    ~UserDefaults() override;

    QVariant object(const QString& key) const;  // the stored value, else the registered default
    bool boolForKey(const QString& key) const;
    qlonglong integerForKey(const QString& key) const;
    double doubleForKey(const QString& key) const;
    QString stringForKey(const QString& key) const;  // empty unless the value is a string
    QByteArray dataForKey(const QString& key) const;
    QVariantList arrayForKey(const QString& key) const;
    QVariantMap dictionaryForKey(const QString& key) const;

    void setObject(const QString& key, const QVariant& value);  // an invalid QVariant removes
    void setBool(const QString& key, bool value) { setObject(key, value); }
    void removeObject(const QString& key);

    void registerDefaults(const QVariantMap& defaults);
    bool synchronize();  // writes pending changes through; false when the file cannot be written

    QString filePath() const;

signals:
    void valueChanged(const QString& key);

private:
    explicit UserDefaults(const QString& name);  // the file is <name>.json in the configuration folder
    static void installExitHooks();
    static void writeAllPending();
    class Private;
    std::unique_ptr<Private> d;
};

}  // namespace hb
