#include "platform/desktop/HttpClient.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QThread>

namespace hb {

namespace {

// A stuck server must not keep a reply alive for the rest of the run.
constexpr int kTransferTimeoutMs = 30000;

QPointer<QNetworkAccessManager> g_manager;

// Made and used on the application's thread only; it goes with the application object, so pending
// replies are dropped before Qt's own globals are torn down.
QNetworkAccessManager* manager()
{
    if (!g_manager) {
        g_manager = new QNetworkAccessManager;
        qAddPostRoutine([] { delete g_manager.data(); });
    }
    return g_manager;
}

void start(const QUrl& url)
{
    QNetworkRequest request(url);
    request.setTransferTimeout(kTransferTimeoutMs);
    QNetworkReply* reply = manager()->get(request);
    QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
}

}  // namespace

void HttpClient::get(const QUrl& url)
{
    QCoreApplication* application = QCoreApplication::instance();
    if (!application || !url.isValid())
        return;
    if (QThread::currentThread() == application->thread())
        start(url);
    else
        QMetaObject::invokeMethod(
            application, [url] { start(url); }, Qt::QueuedConnection);
}

}  // namespace hb
