#include "PrivateXServer.h"
#include "TestEnvironment.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>

// Xlib's macros (None, Bool, Status) after every Qt and GoogleTest header.
#include "platform/selection/ClipboardKeeper.h"
#include "platform/selection/ClipboardSnapshot.h"
#include "platform/selection/CopiedSelection.h"

#include <X11/Xatom.h>

#include <csignal>

using namespace std::chrono_literals;
using hb::selection::ClipboardKeeper;
using hb::selection::ClipboardSnapshot;
using hb::selection::Deadline;
using hb::selection::XDisplay;

namespace {

// The clipboard of a private X server, with xclip as the other programs that copy and paste.
class ClipboardTest : public HarbrillTest {
protected:
    void SetUp() override
    {
        if (!PrivateXServer::isInstalled() || QStandardPaths::findExecutable("xclip").isEmpty())
            GTEST_SKIP() << "Xvfb and xclip are needed (scripts/install-deps.sh)";
        QByteArray why;
        ASSERT_TRUE(m_server.start(&why)) << why.toStdString();
        x = XDisplay::open();
        ASSERT_TRUE(x);
    }

    // A program copies `data` as `target`; xclip stays to answer until another program copies.
    void copy(const QByteArray& data, const QString& target)
    {
        const QString file = env.writeFile("copied", data);
        ASSERT_EQ(QProcess::execute("xclip", {"-selection", "clipboard", "-t", target, "-i", file}), 0);
        ASSERT_TRUE(waitUntil([&] { return owner() != None; }, 2000));
    }

    QByteArray paste(const QString& target)
    {
        QProcess xclip;
        xclip.start("xclip", {"-selection", "clipboard", "-t", target, "-o"});
        EXPECT_TRUE(xclip.waitForFinished(5000));
        return xclip.readAllStandardOutput();
    }

    Window owner() { return XGetSelectionOwner(x->display(), x->atom("CLIPBOARD")); }

    PrivateXServer m_server;
    std::unique_ptr<XDisplay> x;
};

// What was on the clipboard before the reader borrowed it comes back byte for byte, also when it is
// too big for one request (then both the copy and the keeper's answer go in pieces).
TEST_F(ClipboardTest, ASnapshotPutBackAnswersAsTheOwnerDid)
{
    QByteArray picture(3 << 20, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(picture.data()), picture.size() / 4);
    copy(picture, "image/png");
    const auto snapshot = ClipboardSnapshot::take(*x, x->serverTime(), Deadline(5s));
    ASSERT_TRUE(snapshot);
    EXPECT_TRUE(snapshot->hadOwner);

    copy("the reader's borrowing", "text/uri-list");
    ASSERT_TRUE(ClipboardKeeper::restore(*snapshot, *x, Deadline(5s)));
    EXPECT_TRUE(paste("image/png") == picture);
    EXPECT_TRUE(paste("TARGETS").contains("image/png"));

    // The keeper lets go when another program copies, as any program would.
    copy("later", "UTF8_STRING");
    EXPECT_EQ(paste("UTF8_STRING"), "later");
}

TEST_F(ClipboardTest, AnEmptyClipboardIsLeftEmptyAndAHangingOwnerIsLeftAlone)
{
    ASSERT_EQ(owner(), static_cast<Window>(None));
    const auto empty = ClipboardSnapshot::take(*x, x->serverTime(), Deadline(1s));
    ASSERT_TRUE(empty);
    EXPECT_FALSE(empty->hadOwner);
    copy("file:///borrowed\r\n", "text/uri-list");
    ASSERT_TRUE(ClipboardKeeper::restore(*empty, *x, Deadline(1s)));
    EXPECT_EQ(owner(), static_cast<Window>(None));

    // An owner that does not answer: the clipboard cannot be put back, so it must not be borrowed.
    QProcess hanging;
    hanging.start("xclip", {"-selection", "clipboard", "-loops", "5", "-quiet", "-i", env.writeFile("text", "x")});
    ASSERT_TRUE(waitUntil([&] { return owner() != None; }, 2000));
    ::kill(static_cast<pid_t>(hanging.processId()), SIGSTOP);
    EXPECT_FALSE(ClipboardSnapshot::take(*x, x->serverTime(), Deadline(300ms)));
    ::kill(static_cast<pid_t>(hanging.processId()), SIGKILL);
    hanging.waitForFinished();
}

// Only a file manager's window is asked; any other (here the test's own) is sent no key, and the
// clipboard stays as it was.
TEST_F(ClipboardTest, AWindowThatIsNoFileManagersIsNeverAsked)
{
    copy("file:///mine\r\n", "text/uri-list");
    const Window window = XCreateSimpleWindow(x->display(), x->root(), 0, 0, 10, 10, 0, 0, 0);
    const long pid = getpid();
    XChangeProperty(x->display(), window, x->atom("_NET_WM_PID"), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pid), 1);
    XMapWindow(x->display(), window);
    XSync(x->display(), False);
    const auto result = hb::selection::CopiedSelection::read(*x, window, 0);
    EXPECT_TRUE(result.paths.empty());
    ASSERT_TRUE(result.failure);
    EXPECT_EQ(*result.failure, hb::selection::CopiedSelection::Failure::notAFileManager);
    EXPECT_EQ(paste("text/uri-list"), "file:///mine\r\n");
}

}  // namespace
