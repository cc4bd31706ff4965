#pragma once

#include "TestEnvironment.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QTemporaryDir>

// A session bus of the test's own (dbus-daemon with a configuration that starts no services, so
// nothing answers behind the test's back) and, unless asked not to, the test notification server of
// the end-to-end tools on it, whose calls are read back as JSON objects.
class PrivateNotificationBus {
public:
    explicit PrivateNotificationBus(bool withServer = true)
    {
        const QString config = m_dir.path() + QStringLiteral("/session.conf");
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly))
            return;
        file.write(QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
                                  "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">"
                                  "<busconfig><type>session</type><listen>unix:dir=%1</listen><auth>EXTERNAL</auth>"
                                  "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                                  "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>")
                       .arg(m_dir.path())
                       .toUtf8());
        file.close();
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--nofork"), QStringLiteral("--config-file=") + config,
                        QStringLiteral("--print-address=1")});
        if (!waitUntil([&] { return m_daemon.canReadLine(); }, 10000))
            return;
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        m_connection = QDBusConnection::connectToBus(m_address, QStringLiteral("test-bus-") + m_dir.path());
        if (!withServer)
            return;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
        m_server.setProcessEnvironment(environment);
        m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_server.start(QStringLiteral("/usr/bin/python3"), {serverScript()});
        m_serverReady = waitUntil([&] { return readLines(), m_ready; }, 10000);
    }
    ~PrivateNotificationBus()
    {
        QDBusConnection::disconnectFromBus(m_connection.name());
        for (QProcess* process : {&m_server, &m_daemon}) {
            if (process->state() == QProcess::NotRunning)
                continue;
            process->terminate();
            if (!process->waitForFinished(3000))
                process->kill();
            process->waitForFinished(3000);
        }
    }

    static QString serverScript()
    {
        return QFileInfo(QStringLiteral(__FILE__))
            .dir()
            .absoluteFilePath(QStringLiteral("../../e2e/tools/notification_server.py"));
    }

    bool ready() const { return m_connection.isConnected() && m_serverReady; }
    bool busReady() const { return m_connection.isConnected(); }
    QString address() const { return m_address; }
    QDBusConnection connection() const { return m_connection; }

    // The server's calls so far, of one kind ("Notify", "CloseNotification") or all.
    QList<QJsonObject> calls(const QString& kind = {})
    {
        readLines();
        QList<QJsonObject> matching;
        for (const QJsonObject& call : std::as_const(m_calls)) {
            if (kind.isEmpty() || call.value(QStringLiteral("call")).toString() == kind)
                matching << call;
        }
        return matching;
    }
    bool waitForCalls(const QString& kind, qsizetype count)
    {
        return waitUntil([&] { return calls(kind).size() >= count; });
    }
    // The ids the server still shows.
    QList<uint> shown() const
    {
        const QDBusReply<QList<uint>> reply = m_connection.call(testCall(QStringLiteral("Shown")));
        return reply.isValid() ? reply.value() : QList<uint>{};
    }
    // What a click on the notification's button would send.
    void invokeAction(uint id, const QString& key) const
    {
        QDBusMessage call = testCall(QStringLiteral("InvokeAction"));
        call << id << key;
        m_connection.call(call);
    }
    // What closing it on screen would send.
    void closeOnScreen(uint id) const
    {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("CloseNotification"));
        call << id;
        m_connection.call(call);
    }

private:
    static QDBusMessage testCall(const QString& method)
    {
        return QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
                                              QStringLiteral("/org/freedesktop/Notifications"),
                                              QStringLiteral("org.harbrill.Test"), method);
    }
    void readLines()
    {
        while (m_server.canReadLine()) {
            const QByteArray line = m_server.readLine().trimmed();
            if (line == "READY")
                m_ready = true;
            else
                m_calls << QJsonDocument::fromJson(line).object();
        }
    }

    QTemporaryDir m_dir;
    QProcess m_daemon;
    QProcess m_server;
    QString m_address;
    QDBusConnection m_connection{QString()};
    bool m_ready = false;
    bool m_serverReady = false;
    QList<QJsonObject> m_calls;
};
