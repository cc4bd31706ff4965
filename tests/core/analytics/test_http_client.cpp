#include "LoopbackCollector.h"

#include "platform/desktop/HttpClient.h"

#include <QTcpServer>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

std::atomic<int> g_warnings{0};

// Made off the application's thread, a request still goes out, and Qt reports no object stranded on
// the worker thread.
TEST(HttpClient, RequestFromAWorkerThreadGoesOut)
{
    LoopbackCollector collector;
    const QUrl url = collector.endpoint().resolved(QUrl("collect?from=worker"));
    g_warnings = 0;
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext&, const QString&) {
            if (type != QtDebugMsg && type != QtInfoMsg)
                ++g_warnings;
        });
    std::thread worker([&] { hb::HttpClient::get(url); });
    worker.join();
    const bool received = collector.waitForHits(1);
    hb::HttpClient::get(collector.endpoint().resolved(QUrl("collect?from=main")));
    const bool receivedBoth = collector.waitForHits(2);
    qInstallMessageHandler(previous);

    ASSERT_TRUE(received && receivedBoth);
    EXPECT_EQ(collector.hits()[0].rawQuery, "from=worker");
    EXPECT_EQ(g_warnings, 0);
}

TEST(HttpClient, FailedRequestsAreDroppedQuietly)
{
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    const QUrl refused(QStringLiteral("http://127.0.0.1:%1/collect").arg(closed.serverPort()));
    closed.close();
    hb::HttpClient::get(refused);
    hb::HttpClient::get(QUrl());

    LoopbackCollector collector;
    hb::HttpClient::get(collector.endpoint().resolved(QUrl("collect?after=failure")));
    ASSERT_TRUE(collector.waitForHits(1));
    EXPECT_EQ(collector.hits()[0].rawQuery, "after=failure");
}

}  // namespace
