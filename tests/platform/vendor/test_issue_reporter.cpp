#include "platform/vendor/DevMateKit.h"
#include "platform/vendor/IssueReporter.h"

#include "platform/interface/Alert.h"
#include "platform/interface/Workspace.h"

#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QUrlQuery>

#include <csignal>

namespace {

QString reportText()
{
    QFile file(hb::IssueReporter::reportPath());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

struct Failure {
    const char* how;
    int signal;
    const char* failureLine;
    const char* failingFunction;
};

void PrintTo(const Failure& failure, std::ostream* out)
{
    *out << failure.how;
}

class IssueReporterCrashTest : public HarbrillTest, public ::testing::WithParamInterface<Failure> {};

TEST_P(IssueReporterCrashTest, AFailingChildDiesOfItsSignalAndLeavesAReportWithVersionBacktraceAndLog)
{
    const Failure failure = GetParam();
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QStringLiteral(HB_CRASH_CHILD), {QString::fromLatin1(failure.how)});
    ASSERT_TRUE(child.waitForFinished(60000));

    EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);
    EXPECT_EQ(child.exitCode(), failure.signal);
    const QString report = reportText();
    EXPECT_TRUE(report.startsWith(QStringLiteral("Harbrill issue report\nVersion: 1.0.0 (1)\n")))
        << report.toStdString();
    EXPECT_TRUE(report.contains(QString::fromLatin1(failure.failureLine))) << report.toStdString();
    const qsizetype backtrace = report.indexOf(QStringLiteral("\nBacktrace:\n"));
    const qsizetype log = report.indexOf(QStringLiteral("\nLast log lines:\n"));
    ASSERT_GT(backtrace, 0);
    ASSERT_GT(log, backtrace);
    EXPECT_TRUE(report.mid(backtrace, log - backtrace).contains(QString::fromLatin1(failure.failingFunction)))
        << report.toStdString();
    EXPECT_TRUE(report.mid(log).contains(QStringLiteral("about to fail: ") + QString::fromLatin1(failure.how)));
    EXPECT_TRUE(hb::IssueReporter::hasPendingReport());
}

INSTANTIATE_TEST_SUITE_P(
    Failures, IssueReporterCrashTest,
    ::testing::Values(Failure{"segv", SIGSEGV, "Failure: signal 11 (SIGSEGV", "harbrillCrashProbe"},
                      Failure{"throw", SIGABRT, "Failure: uncaught exception std::runtime_error: the probe threw",
                              "harbrillThrowProbe"}),
    [](const auto& testInfo) { return std::string(testInfo.param.how); });

struct Answer {
    const char* name;
    int button;
    bool mailOpens;
    bool mailExpected;
    bool reportKept;
};

void PrintTo(const Answer& answer, std::ostream* out)
{
    *out << answer.name;
}

class IssueReportOfferTest : public HarbrillTest, public ::testing::WithParamInterface<Answer> {
protected:
    void TearDown() override
    {
        hb::Alert::setPresenter(nullptr);
        hb::Workspace::setOpener(nullptr);
    }
};

TEST_P(IssueReportOfferTest, APendingReportIsOfferedAtTheNextStartAndRemovedOnceAnswered)
{
    const Answer answer = GetParam();
    const QString report = QStringLiteral("Harbrill issue report\nVersion: 1.0.0 (1)\nFailure: signal 11 (SIGSEGV)\n"
                                          "Backtrace:\nharbrill(frame+0x1) & more\n");
    QDir().mkpath(QFileInfo(hb::IssueReporter::reportPath()).path());
    QFile file(hb::IssueReporter::reportPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(report.toUtf8()) > 0);
    file.close();
    ASSERT_TRUE(hb::IssueReporter::hasPendingReport());

    QList<hb::Alert> shown;
    hb::Alert::setPresenter([&](const hb::Alert& alert) {
        shown << alert;
        return answer.button;
    });
    QList<QUrl> opened;
    hb::Workspace::setOpener([&](const QUrl& url) {
        opened << url;
        return answer.mailOpens;
    });

    DevMateKit::setupIssuesController(false);
    ASSERT_TRUE(waitUntil([&] { return !shown.isEmpty(); }));
    EXPECT_EQ(shown.first().buttons, (QStringList{"Send", "Don't Send"}));
    EXPECT_EQ(hb::IssueReporter::hasPendingReport(), answer.reportKept);
    ASSERT_EQ(opened.size(), answer.mailExpected ? 1 : 0);
    if (answer.mailExpected) {
        EXPECT_EQ(opened.first().scheme(), "mailto");
        EXPECT_EQ(opened.first().path(), "support@mirelda.com");
        const QUrlQuery query(opened.first());
        EXPECT_EQ(query.queryItemValue("body", QUrl::FullyDecoded), QString(report).replace("\n", "\r\n"));
    }
}

INSTANTIATE_TEST_SUITE_P(Answers, IssueReportOfferTest,
                         ::testing::Values(Answer{"Send", hb::NSAlertFirstButtonReturn, true, true, false},
                                           Answer{"DontSend", hb::NSAlertSecondButtonReturn, true, false, false},
                                           Answer{"SendWithoutMailProgram", hb::NSAlertFirstButtonReturn, false, true,
                                                  true}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

}  // namespace
