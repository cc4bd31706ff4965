#include "platform/selection/AccessibleSelection.h"

#include "platform/base/ProgramIdentity.h"
#include "platform/selection/FileManagers.h"
#include "platform/selection/FileURIs.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMetaType>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <set>
#include <sys/stat.h>

namespace {

// An object on the accessibility bus: the program's connection and the object's path.
struct Accessible {
    QString service;
    QDBusObjectPath path;
    bool isNull() const { return service.isEmpty() || path.path() == QLatin1String("/org/a11y/atspi/null"); }
};

QDBusArgument& operator<<(QDBusArgument& argument, const Accessible& accessible)
{
    argument.beginStructure();
    argument << accessible.service << accessible.path;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, Accessible& accessible)
{
    argument.beginStructure();
    argument >> accessible.service >> accessible.path;
    argument.endStructure();
    return argument;
}

}  // namespace

Q_DECLARE_METATYPE(Accessible)

namespace hb::selection {

namespace {

const QString kAccessible = QStringLiteral("org.a11y.atspi.Accessible");
const QString kSelection = QStringLiteral("org.a11y.atspi.Selection");
constexpr int kStateActive = 1;
constexpr uint kRoleTable = 55;
constexpr uint kRoleTreeTable = 66;
constexpr int kMaximumItems = 100000;

class Bus {
public:
    explicit Bus(const QDBusConnection& connection) : m_connection(connection) {}

    QList<Accessible> children(const Accessible& node) const
    {
        QDBusMessage call = QDBusMessage::createMethodCall(node.service, node.path.path(), kAccessible,
                                                           QStringLiteral("GetChildren"));
        const QDBusReply<QList<Accessible>> reply = m_connection.call(call);
        return reply.isValid() ? reply.value() : QList<Accessible>{};
    }

    uint role(const Accessible& node) const { return call<uint>(node, kAccessible, "GetRole"); }
    QStringList interfaces(const Accessible& node) const
    {
        return call<QStringList>(node, kAccessible, "GetInterfaces");
    }

    bool isActive(const Accessible& node) const
    {
        const QList<uint> states = call<QList<uint>>(node, kAccessible, "GetState");
        return !states.isEmpty() && (states.first() & (1u << kStateActive));
    }

    QString name(const Accessible& node) const { return property(node, kAccessible, "Name").toString(); }
    int selectedCount(const Accessible& node) const { return property(node, kSelection, "NSelectedChildren").toInt(); }

    Accessible selected(const Accessible& node, int index) const
    {
        QDBusMessage call = QDBusMessage::createMethodCall(node.service, node.path.path(), kSelection,
                                                           QStringLiteral("GetSelectedChild"));
        call << index;
        const QDBusReply<Accessible> reply = m_connection.call(call);
        return reply.isValid() ? reply.value() : Accessible{};
    }

    long processOf(const QString& service) const
    {
        const QDBusReply<uint> pid = m_connection.interface()->servicePid(service);
        return pid.isValid() ? static_cast<long>(pid.value()) : 0;
    }

private:
    QVariant property(const Accessible& node, const QString& interface, const char* name) const
    {
        QDBusMessage get = QDBusMessage::createMethodCall(
            node.service, node.path.path(), QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        get << interface << QString::fromLatin1(name);
        const QDBusReply<QDBusVariant> reply = m_connection.call(get);
        return reply.isValid() ? reply.value().variant() : QVariant();
    }

    template <typename T>
    T call(const Accessible& node, const QString& interface, const char* method) const
    {
        const QDBusMessage message = QDBusMessage::createMethodCall(node.service, node.path.path(), interface,
                                                                    QString::fromLatin1(method));
        const QDBusReply<T> reply = m_connection.call(message);
        return reply.isValid() ? reply.value() : T{};
    }

    QDBusConnection m_connection;
};

std::optional<QDBusConnection> accessibilityBus()
{
    QString address = qEnvironmentVariable("AT_SPI_BUS_ADDRESS");
    if (address.isEmpty()) {
        QDBusInterface launcher(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                QStringLiteral("org.a11y.Bus"), QDBusConnection::sessionBus());
        const QDBusReply<QString> reply = launcher.call(QStringLiteral("GetAddress"));
        if (!reply.isValid())
            return std::nullopt;
        address = reply.value();
    }
    QDBusConnection bus = QDBusConnection::connectToBus(address, programIdentity().command + QStringLiteral("-a11y"));
    if (!bus.isConnected())
        return std::nullopt;
    return bus;
}

// The active top-level window on the bus, and the process of its program.
std::optional<std::pair<Accessible, long>> activeFrame(const Bus& bus)
{
    const Accessible root{QStringLiteral("org.a11y.atspi.Registry"),
                          QDBusObjectPath(QStringLiteral("/org/a11y/atspi/accessible/root"))};
    for (const Accessible& application : bus.children(root))
        for (const Accessible& frame : bus.children(application))
            if (bus.isActive(frame))
                return std::pair{frame, bus.processOf(frame.service)};
    return std::nullopt;
}

// The file view: a table with a selection (the places beside it are a list).
std::optional<Accessible> fileView(const Bus& bus, const Accessible& node, int depth = 0)
{
    // By number: toolkits name the roles in their own words ("grid" in GTK 4).
    const uint role = bus.role(node);
    if ((role == kRoleTable || role == kRoleTreeTable) && bus.interfaces(node).contains(kSelection))
        return node;
    if (depth > 30)
        return std::nullopt;
    for (const Accessible& child : bus.children(node))
        if (auto view = fileView(bus, child, depth + 1))
            return view;
    return std::nullopt;
}

// What an item may be called: its own name and those of the parts it is drawn with (a cell names
// itself by its class, its label by the file).
std::vector<std::string> namesOf(const Bus& bus, const Accessible& item)
{
    std::vector<std::string> names;
    // The toolkit's own names for the parts, not the file's.
    static const QRegularExpression partName(QStringLiteral("^(Gtk|Adw|Nautilus)[A-Z][A-Za-z]*$"));
    const auto add = [&](const QString& name) {
        if (!name.isEmpty() && !name.contains(u'/') && !partName.match(name).hasMatch())
            names.push_back(name.toStdString());
    };
    add(bus.name(item));
    for (const Accessible& child : bus.children(item)) {
        add(bus.name(child));
        for (const Accessible& grandchild : bus.children(child))
            add(bus.name(grandchild));
    }
    return names;
}

// The local folders the windows of GNOME Files show, asked of the process itself.
std::vector<std::string> shownFolders(long pid)
{
    QDBusConnection session = QDBusConnection::sessionBus();
    const QDBusReply<QString> owner = session.interface()->serviceOwner(QStringLiteral("org.gnome.Nautilus"));
    if (!owner.isValid() || static_cast<long>(session.interface()->servicePid(owner.value()).value()) != pid)
        return {};
    QDBusMessage get = QDBusMessage::createMethodCall(owner.value(), QStringLiteral("/org/freedesktop/FileManager1"),
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << QStringLiteral("org.freedesktop.FileManager1") << QStringLiteral("OpenLocations");
    const QDBusReply<QDBusVariant> reply = session.call(get);
    std::vector<std::string> folders;
    if (!reply.isValid())
        return folders;
    for (const QString& uri : reply.value().variant().toStringList()) {
        std::string path = localPathFromURI(uri.toStdString());
        if (!path.empty())
            folders.push_back(std::move(path));
    }
    return folders;
}

bool exists(const std::string& path)
{
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
}

}  // namespace

AccessibleSelection::Result AccessibleSelection::read()
{
    qDBusRegisterMetaType<Accessible>();
    qDBusRegisterMetaType<QList<Accessible>>();
    const std::optional<QDBusConnection> connection = accessibilityBus();
    if (!connection)
        return {{}, Failure::noAccessibilityBus};
    const Bus bus(*connection);
    const auto frame = activeFrame(bus);
    if (!frame)
        return {{}, Failure::noActiveFileManager};
    const std::string program = programNameOfProcess(frame->second);
    if (!isFileManagerProgram(program))
        return {{}, Failure::noActiveFileManager};
    if (program != "nautilus")
        return {{}, Failure::fileManagerUnsupported};

    const auto view = fileView(bus, frame->first);
    if (!view)
        return {{}, Failure::noView};
    const int count = bus.selectedCount(*view);
    if (count <= 0)
        return {};
    if (count > kMaximumItems)
        return {{}, Failure::incomplete};
    std::vector<std::vector<std::string>> items;
    items.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const Accessible item = bus.selected(*view, i);
        // A list view shows only the items near the screen to accessibility.
        if (item.isNull())
            return {{}, Failure::incomplete};
        items.push_back(namesOf(bus, item));
    }

    // The one shown folder that holds every item under one of its names.
    std::optional<std::vector<std::string>> found;
    std::set<std::string> tried;
    for (const std::string& folder : shownFolders(frame->second)) {
        if (!tried.insert(folder).second)
            continue;
        std::vector<std::string> paths;
        for (const auto& names : items) {
            for (const std::string& name : names) {
                const std::string path = (folder == "/" ? folder : folder + "/") + name;
                if (exists(path)) {
                    paths.push_back(path);
                    break;
                }
            }
        }
        if (paths.size() != items.size())
            continue;
        if (found)
            return {{}, Failure::noFolder};
        found = std::move(paths);
    }
    if (!found)
        return {{}, Failure::noFolder};
    return {std::move(*found), std::nullopt};
}

const char* describe(AccessibleSelection::Failure failure)
{
    switch (failure) {
    case AccessibleSelection::Failure::noAccessibilityBus:
        return "there is no accessibility bus to ask";
    case AccessibleSelection::Failure::noActiveFileManager:
        return "the active window is not a file manager's";
    case AccessibleSelection::Failure::fileManagerUnsupported:
        return "this file manager does not say which folder its window shows, so its selection cannot be read here";
    case AccessibleSelection::Failure::noView:
        return "the file manager's window shows no files";
    case AccessibleSelection::Failure::incomplete:
        return "the file manager shows only some of the selected items to accessibility, so none were taken";
    case AccessibleSelection::Failure::noFolder:
        return "no folder the file manager shows holds the selected items";
    }
    return "";
}

}  // namespace hb::selection
