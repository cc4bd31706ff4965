#pragma once

#include "TestEnvironment.h"

#include <QByteArray>
#include <QHostAddress>
#include <QMap>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

#include <vector>

// One request as it reached the server.
struct Hit {
    QByteArray method;
    QByteArray path;
    QByteArray rawQuery;
    QMap<QString, QString> fields;  // keys as sent, values decoded
    int pairCount = 0;              // more than fields.size() means a key came twice
};

// An HTTP server on 127.0.0.1 (a free port) that records every request and answers 204.
class LoopbackCollector {
public:
    LoopbackCollector()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection())
                serve(socket);
        });
    }

    QUrl endpoint() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(m_server.serverPort())); }
    const std::vector<Hit>& hits() const { return m_hits; }
    void clear() { m_hits.clear(); }
    bool waitForHits(size_t count, int timeoutMs = 10000)
    {
        return waitUntil([&] { return m_hits.size() >= count; }, timeoutMs);
    }

private:
    void serve(QTcpSocket* socket)
    {
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            QByteArray& buffer = m_buffers[socket];
            buffer += socket->readAll();
            if (!buffer.contains("\r\n\r\n"))
                return;
            record(buffer.left(buffer.indexOf("\r\n")));
            m_buffers.remove(socket);
            socket->write("HTTP/1.1 204 No Content\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            socket->disconnectFromHost();
        });
    }

    void record(const QByteArray& requestLine)
    {
        const QList<QByteArray> parts = requestLine.split(' ');
        Hit hit;
        hit.method = parts.value(0);
        const QByteArray target = parts.value(1);
        const qsizetype question = target.indexOf('?');
        hit.path = target.left(question);
        if (question >= 0)
            hit.rawQuery = target.mid(question + 1);
        for (const QByteArray& pair : hit.rawQuery.split('&')) {
            const qsizetype equals = pair.indexOf('=');
            hit.fields.insert(QString::fromUtf8(pair.left(equals)),
                              equals < 0 ? QString() : QUrl::fromPercentEncoding(pair.mid(equals + 1)));
            ++hit.pairCount;
        }
        m_hits.push_back(hit);
    }

    QTcpServer m_server;
    QMap<QTcpSocket*, QByteArray> m_buffers;
    std::vector<Hit> m_hits;
};
