#include "platform/files/CopyFile.h"

#include "CopyFixtures.h"

#include "platform/files/AccessRegistry.h"
#include "platform/files/CopyPartial.h"

#include <QDir>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <linux/ioprio.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <functional>
#include <mutex>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

using namespace hb;

namespace {

struct Report {
    int what;
    int stage;
    std::string source;
    std::string destination;
    int error;     // of ERR reports
    off_t copied;  // COPYFILE_STATE_COPIED at the report
    int answer = COPYFILE_CONTINUE;
};

// Records every report and answers through `answer` (by default: quit at errors, else continue).
// Notes reports that overlap (from two threads at once) and reports after a quitting answer.
struct Recorder {
    std::vector<Report> reports;
    std::function<int(const Report&)> answer;
    std::atomic<int> inside{0};
    bool overlapped = false;
    bool reportedAfterQuit = false;
    bool quit = false;
    std::mutex mutex;

    static int callback(int what, int stage, copyfile_state_t state, const char* source, const char* destination,
                        void* context)
    {
        const int error = errno;
        auto* self = static_cast<Recorder*>(context);
        const bool alone = self->inside.fetch_add(1) == 0;
        std::lock_guard lock(self->mutex);
        self->overlapped = self->overlapped || !alone;
        self->reportedAfterQuit = self->reportedAfterQuit || self->quit;
        off_t copied = -1;
        copyfile_state_get(state, COPYFILE_STATE_COPIED, &copied);
        self->reports.push_back({what, stage, source, destination, stage == COPYFILE_ERR ? error : 0, copied});
        int result = stage == COPYFILE_ERR ? COPYFILE_QUIT : COPYFILE_CONTINUE;
        if (self->answer)
            result = self->answer(self->reports.back());
        self->reports.back().answer = result;
        self->quit = result != COPYFILE_CONTINUE && result != COPYFILE_SKIP;
        self->inside.fetch_sub(1);
        return result;
    }

    int copy(const QString& from, const QString& to, copyfile_flags_t flags = COPYFILE_ALL | COPYFILE_RECURSIVE)
    {
        copyfile_state_t state = copyfile_state_alloc();
        copyfile_state_set(state, COPYFILE_STATE_STATUS_CB, reinterpret_cast<const void*>(&callback));
        copyfile_state_set(state, COPYFILE_STATE_STATUS_CTX, this);
        const int result = copyfile(from.toUtf8().constData(), to.toUtf8().constData(), state, flags);
        const int error = errno;
        copyfile_state_free(state);
        errno = error;
        return result;
    }

    // As any user would (permission bits count), answering `errorAnswer` at errors and continuing elsewhere.
    int copyAnsweringErrors(const QString& from, const QString& to, int errorAnswer)
    {
        answer = [errorAnswer](const Report& report) {
            return report.stage == COPYFILE_ERR ? errorAnswer : COPYFILE_CONTINUE;
        };
        int result;
        int error;
        {
            WithoutFilePermissionOverride asAnyUser;
            result = copy(from, to);
            error = errno;
        }
        errno = error;
        return result;
    }

    int count(int what, int stage) const
    {
        int n = 0;
        for (const Report& report : reports)
            n += report.what == what && report.stage == stage;
        return n;
    }
};

// Answers at an error, and whether the copy then goes on.
const struct ErrorAnswer {
    const char* name;
    int answer;
    bool copied;
} kErrorAnswers[] = {
    {"continue", COPYFILE_CONTINUE, true},
    {"skip", COPYFILE_SKIP, true},
    {"quit", COPYFILE_QUIT, false},
    {"the error number", EACCES, false},
};

std::set<std::string> entries(const QString& folder)
{
    std::set<std::string> names;
    for (const QString& name :
         QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        names.insert(name.toStdString());
    return names;
}

std::string attributesOf(const std::string& path)
{
    char names[4096];
    const ssize_t size = llistxattr(path.c_str(), names, sizeof names);
    std::set<std::string> sorted;
    for (ssize_t i = 0; i < size; i += std::strlen(names + i) + 1) {
        char value[256] = {};
        lgetxattr(path.c_str(), names + i, value, sizeof value - 1);
        sorted.insert(std::string(names + i) + "=" + value);
    }
    std::string all;
    for (const std::string& entry : sorted)
        all += entry + ";";
    return all;
}

// Everything a copy must keep, item by item (access times aside: reading changes them).
void describe(const std::string& root, const std::string& relative, std::map<std::string, std::string>& out)
{
    const std::string path = root + relative;
    struct stat status;
    if (lstat(path.c_str(), &status) != 0) {
        out[relative] = "missing";
        return;
    }
    std::string text = "type=" + std::to_string(status.st_mode & S_IFMT)
                       + " mode=" + std::to_string(status.st_mode & 07777) + " owner=" + std::to_string(status.st_uid)
                       + ":" + std::to_string(status.st_gid) + " mtime=" + std::to_string(status.st_mtim.tv_sec) + "."
                       + std::to_string(status.st_mtim.tv_nsec) + " xattr=" + attributesOf(path);
    if (S_ISLNK(status.st_mode)) {
        char target[4096] = {};
        if (readlink(path.c_str(), target, sizeof target - 1) < 0)
            text += " link unreadable";
        else
            text += std::string(" link=") + target;
    } else if (S_ISREG(status.st_mode)) {
        QFile file(QString::fromStdString(path));
        file.open(QIODevice::ReadOnly);
        text += " data=" + file.readAll().toHex().left(64).toStdString() + " size=" + std::to_string(status.st_size);
    }
    out[relative] = text;
    if (S_ISDIR(status.st_mode)) {
        for (const std::string& name : entries(QString::fromStdString(path)))
            describe(root, relative + "/" + name, out);
    }
}

std::map<std::string, std::string> describe(const QString& root)
{
    std::map<std::string, std::string> out;
    describe(root.toStdString(), "", out);
    return out;
}

void setTimes(const QString& path, time_t seconds, long nanoseconds)
{
    const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.toUtf8().constData(), times, AT_SYMLINK_NOFOLLOW), 0);
}

QByteArray pattern(qsizetype size)
{
    QByteArray data(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        data[i] = static_cast<char>((i * 131 + i / 4093) & 0xff);
    return data;
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Breaks of the order a reader of the reports relies on: the reports of one entry come together
// (nothing else between its start and its finish or error), and a folder starts before and finishes
// after everything inside it.
std::vector<std::string> orderFaults(const std::vector<Report>& reports)
{
    std::vector<std::string> faults;
    std::string current;  // the entry whose reports are coming
    std::set<std::string> started, finished;
    const auto inside = [](const std::string& path, const std::string& folder) {
        return path.rfind(folder + "/", 0) == 0;
    };
    for (const Report& report : reports) {
        const std::string at = std::to_string(report.what) + "/" + std::to_string(report.stage) + " " + report.source;
        const bool itemStage = report.stage == COPYFILE_START || report.stage == COPYFILE_FINISH
                               || report.stage == COPYFILE_ERR;
        if (report.what == COPYFILE_RECURSE_FILE && itemStage) {
            if (report.stage == COPYFILE_START ? !current.empty() : (!current.empty() && current != report.source))
                faults.push_back("interleaved: " + at);
            current = report.stage == COPYFILE_START && report.answer != COPYFILE_SKIP ? report.source : "";
        } else if (report.what == COPYFILE_COPY_DATA || report.what == COPYFILE_COPY_XATTR) {
            if (!current.empty() && current != report.source)
                faults.push_back("interleaved: " + at);
            if (report.what == COPYFILE_COPY_DATA && report.answer == COPYFILE_SKIP)
                current.clear();
        } else if (!current.empty()) {
            faults.push_back("folder report inside an entry: " + at);
        }
        for (const std::string& folder : finished) {
            if (inside(report.source, folder))
                faults.push_back("after its folder finished: " + at);
        }
        bool enclosed = false;
        for (const std::string& folder : started)
            enclosed = enclosed || folder == report.source || inside(report.source, folder);
        if (!started.empty() && !enclosed)
            faults.push_back("before its folder started: " + at);
        if (report.what == COPYFILE_RECURSE_DIR && report.stage == COPYFILE_START)
            started.insert(report.source);
        if (report.what == COPYFILE_RECURSE_DIR && report.stage == COPYFILE_FINISH)
            finished.insert(report.source);
    }
    return faults;
}

// Of the calling thread alone.
int threadNice()
{
    return getpriority(PRIO_PROCESS, gettid());
}
int threadIoPriority()
{
    return int(syscall(SYS_ioprio_get, IOPRIO_WHO_PROCESS, 0));
}

// The byte count a progress reader keeps: the growth of each data report, restarting at each finish.
struct ProgressSum {
    std::uint64_t bytes = 0;
    int items = 0;
    bool shrank = false;

    explicit ProgressSum(const std::vector<Report>& reports)
    {
        off_t previous = 0;
        for (const Report& report : reports) {
            if (report.what == COPYFILE_COPY_DATA) {
                shrank = shrank || report.copied < previous;
                bytes += report.copied - previous;
                previous = report.copied;
            } else if ((report.what == COPYFILE_RECURSE_FILE || report.what == COPYFILE_RECURSE_DIR)
                       && report.stage == COPYFILE_FINISH) {
                ++items;
                previous = 0;
            }
        }
    }
};

}  // namespace

class CopyFileTest : public SourceAndDestinationTest {
protected:
    // A tree with what a copy must keep: data, modes (a read-only folder too), nanosecond times,
    // user attributes, links (one dangling) and a pipe.
    QString makeTree()
    {
        const QString tree = source + "/Tree";
        const QString a = env.writeFile("source/Tree/a.txt", "alpha");
        env.writeFile("source/Tree/sub/b.bin", pattern(300 << 10));
        env.writeFile("source/Tree/sub/deeper/c.txt", "gamma");
        EXPECT_EQ(setxattr(a.toUtf8().constData(), "user.tag", "blue", 4, 0), 0);
        EXPECT_EQ(setxattr((tree + "/sub").toUtf8().constData(), "user.folder", "yes", 3, 0), 0);
        EXPECT_EQ(symlink("a.txt", (tree + "/link").toUtf8().constData()), 0);
        EXPECT_EQ(symlink("/nonexistent/target", (tree + "/dangling").toUtf8().constData()), 0);
        EXPECT_EQ(mkfifo((tree + "/pipe").toUtf8().constData(), 0640), 0);
        chmod(a.toUtf8().constData(), 0640);
        chmod((tree + "/sub/deeper").toUtf8().constData(), 0555);
        chmod((tree + "/sub").toUtf8().constData(), 0750);
        setTimes(a, 1234567890, 123456789);
        setTimes(tree + "/link", 1300000000, 5);
        setTimes(tree + "/sub/deeper", 1400000000, 999999999);
        setTimes(tree + "/sub", 1500000000, 1);
        setTimes(tree, 1600000000, 42);
        return tree;
    }

    // `folders` folders of `files` small files each, every file of its own size and data, with modes,
    // times and attributes that vary, a link every 50 files, and one file large enough to report its
    // data in several steps.
    struct ManyFiles {
        std::uint64_t bytes = 0;
        int attributes = 0;
    };
    ManyFiles makeManyFiles(const QString& tree, int folders, int files)
    {
        ManyFiles made;
        for (int f = 0; f < folders; ++f) {
            const QString folder = env.makeFolder(
                QStringLiteral("source/%1/folder%2").arg(QFileInfo(tree).fileName()).arg(f));
            for (int i = 0; i < files; ++i) {
                const int n = f * files + i;
                const std::string path = QStringLiteral("%1/file%2").arg(folder).arg(i).toStdString();
                if (n % 50 == 49) {
                    EXPECT_EQ(symlink(("file" + std::to_string(i - 1)).c_str(), path.c_str()), 0);
                    continue;
                }
                const QByteArray data = pattern(n % 3000).right(n % 3000 - n % 7) + QByteArray::number(n);
                const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
                EXPECT_EQ(write(fd, data.constData(), data.size()), data.size());
                made.bytes += data.size();
                const mode_t modes[] = {0644, 0600, 0755, 0444, 0640};
                fchmod(fd, modes[n % 5]);
                if (n % 7 == 0) {
                    EXPECT_EQ(fsetxattr(fd, "user.n", &n, sizeof n, 0), 0);
                    ++made.attributes;
                }
                const timespec times[2] = {{1500000000 + n, 0}, {1500000000 + n, n * 1000}};
                futimens(fd, times);
                close(fd);
            }
            chmod(folder.toUtf8().constData(), f % 2 ? 0750 : 0555);
            setTimes(folder, 1400000000 + f, f);
        }
        const QByteArray large = pattern((8 << 20) + 4097);
        env.writeFile(QStringLiteral("source/%1/folder0/large.bin").arg(QFileInfo(tree).fileName()), large);
        setTimes(tree, 1300000000, 7);
        made.bytes += large.size();
        return made;
    }

    // Starts the copy of `from` to `to` in a process of its own, which waits at its first data report
    // until it is killed; answers the file that appears when it is there.
    QString startCopyUntilKilled(QProcess& helper, const QString& from, const QString& to)
    {
        const QString ready = env.root() + "/copy-helper-ready";
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HB_COPY_HELPER_FROM", from);
        environment.insert("HB_COPY_HELPER_TO", to);
        environment.insert("HB_COPY_HELPER_READY", ready);
        helper.setProcessEnvironment(environment);
        helper.setProcessChannelMode(QProcess::ForwardedChannels);
        helper.start(QCoreApplication::applicationFilePath(),
                     {"--gtest_also_run_disabled_tests", "--gtest_filter=CopyFileHelper.DISABLED_CopyUntilKilled"});
        EXPECT_TRUE(helper.waitForStarted());
        return ready;
    }

    // The fixture's read-only folders, on both sides, open again for the test's clean-up.
    void TearDown() override
    {
        for (const QString& root : {source, destination}) {
            nftw(
                root.toUtf8().constData(),
                [](const char* path, const struct stat* status, int type, FTW*) {
                    if (type == FTW_D || type == FTW_DNR)
                        chmod(path, (status->st_mode & 07777) | S_IRWXU);
                    return 0;
                },
                16, FTW_PHYS);
        }
    }
};

TEST_F(CopyFileTest, TreeKeepsDataModesTimesAttributesAndLinks)
{
    const QString tree = makeTree();
    const QByteArray largeValue = pattern(3000);  // more than a first small buffer holds
    ASSERT_EQ(
        setxattr((tree + "/a.txt").toUtf8().constData(), "user.large", largeValue.constData(), largeValue.size(), 0),
        0);
    Recorder recorder;
    ASSERT_EQ(recorder.copy(tree, destination + "/Tree"), 0) << strerror(errno);

    EXPECT_EQ(describe(destination + "/Tree"), describe(tree));
    QByteArray copiedValue(64 << 10, '\0');
    copiedValue.resize(getxattr((destination + "/Tree/a.txt").toUtf8().constData(), "user.large", copiedValue.data(),
                                copiedValue.size()));
    EXPECT_TRUE(copiedValue == largeValue);
    EXPECT_EQ(entries(destination), std::set<std::string>{"Tree"});
    struct stat link;
    ASSERT_EQ(lstat((destination + "/Tree/dangling").toUtf8().constData(), &link), 0);
    EXPECT_TRUE(S_ISLNK(link.st_mode));
}

TEST_F(CopyFileTest, ReportsFollowTheTree)
{
    const QString tree = makeTree();
    const std::string top = (destination + "/Tree").toStdString();
    Recorder recorder;
    bool placedBeforeTopFinished = false;
    bool hiddenWhileCopying = true;
    recorder.answer = [&](const Report& report) {
        const bool placed = QFileInfo::exists(QString::fromStdString(top));
        if (report.destination == top && report.what == COPYFILE_RECURSE_DIR && report.stage == COPYFILE_FINISH)
            placedBeforeTopFinished = placed;
        else if (placed)
            hiddenWhileCopying = false;
        return COPYFILE_CONTINUE;
    };
    ASSERT_EQ(recorder.copy(tree, destination + "/Tree"), 0);

    EXPECT_EQ(recorder.count(COPYFILE_RECURSE_DIR, COPYFILE_START), 3);
    EXPECT_EQ(recorder.count(COPYFILE_RECURSE_DIR, COPYFILE_FINISH), 3);
    EXPECT_EQ(recorder.count(COPYFILE_RECURSE_FILE, COPYFILE_START), 6);  // 3 files, 2 links, a pipe
    EXPECT_EQ(recorder.count(COPYFILE_RECURSE_FILE, COPYFILE_FINISH), 6);
    EXPECT_EQ(recorder.count(COPYFILE_RECURSE_FILE, COPYFILE_ERR), 0);
    EXPECT_GE(recorder.count(COPYFILE_COPY_XATTR, COPYFILE_START), 2);
    EXPECT_TRUE(placedBeforeTopFinished);
    EXPECT_TRUE(hiddenWhileCopying);

    // A folder finishes once, after everything inside it.
    for (std::size_t i = 0; i < recorder.reports.size(); ++i) {
        const Report& finish = recorder.reports[i];
        if (finish.what != COPYFILE_RECURSE_DIR || finish.stage != COPYFILE_FINISH)
            continue;
        for (std::size_t j = i + 1; j < recorder.reports.size(); ++j)
            EXPECT_NE(recorder.reports[j].source.rfind(finish.source + "/", 0), 0u) << recorder.reports[j].source;
    }
    // Data reports carry the growing byte count of their file.
    std::map<std::string, off_t> copied;
    for (const Report& report : recorder.reports) {
        if (report.what == COPYFILE_COPY_DATA) {
            EXPECT_EQ(report.stage, COPYFILE_PROGRESS);
            EXPECT_GT(report.copied, copied[report.source]);
            copied[report.source] = report.copied;
        }
    }
    const std::string from = tree.toStdString();
    EXPECT_EQ(copied, (std::map<std::string, off_t>{
                          {from + "/a.txt", 5}, {from + "/sub/b.bin", 300 << 10}, {from + "/sub/deeper/c.txt", 5}}));
}

TEST_F(CopyFileTest, LargeFileReportsItsDataInChunks)
{
    const qsizetype size = (20 << 20) + 123;
    const QString file = env.writeFile("source/large.bin", pattern(size));
    Recorder recorder;
    ASSERT_EQ(recorder.copy(file, destination + "/large.bin"), 0);

    std::vector<off_t> copied;
    for (const Report& report : recorder.reports) {
        if (report.what == COPYFILE_COPY_DATA)
            copied.push_back(report.copied);
    }
    ASSERT_FALSE(copied.empty());
    EXPECT_EQ(copied.back(), size);
    if (copied.size() > 1) {
        EXPECT_GE(copied.size(), 3u);  // else the file system cloned it in one step
    }
    EXPECT_TRUE(std::is_sorted(copied.begin(), copied.end()));
    EXPECT_EQ(recorder.count(COPYFILE_RECURSE_FILE, COPYFILE_FINISH), 1);
    EXPECT_TRUE(contents(destination + "/large.bin") == pattern(size));
}

TEST_F(CopyFileTest, QuitLeavesNothingAndKeepsWhatWasThere)
{
    const QString tree = source + "/Tree";
    env.writeFile("source/Tree/one.txt", "1");
    env.writeFile("source/Tree/sub/big.bin", pattern(20 << 20));
    env.writeFile("source/Tree/z.txt", "z");
    env.writeFile("destination/existing.txt", "keep me");

    struct Case {
        const char* name;
        std::function<bool(const Report&)> quitAt;
    };
    const Case cases[] = {
        {"mid-file", [](const Report& r) { return r.what == COPYFILE_COPY_DATA && r.copied > (8 << 20); }},
        {"entering a folder",
         [](const Report& r) {
             return r.what == COPYFILE_RECURSE_DIR && r.stage == COPYFILE_START && r.source.ends_with("/sub");
         }},
        {"after a file", [](const Report& r) { return r.what == COPYFILE_RECURSE_FILE && r.stage == COPYFILE_FINISH; }},
        {"finishing the top folder",
         [](const Report& r) { return r.what == COPYFILE_RECURSE_DIR_CLEANUP && r.source.ends_with("/Tree"); }},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        Recorder recorder;
        bool quit = false;
        recorder.answer = [&](const Report& report) {
            quit = quit || test.quitAt(report);
            return quit ? COPYFILE_QUIT : COPYFILE_CONTINUE;
        };
        EXPECT_EQ(recorder.copy(tree, destination + "/Tree"), -1);
        EXPECT_EQ(errno, ECANCELED);
        EXPECT_TRUE(quit);
        EXPECT_EQ(entries(destination), std::set<std::string>{"existing.txt"});
        EXPECT_EQ(contents(destination + "/existing.txt"), "keep me");
    }
}

// A folder copied into a folder of its own tree: the copy being made is not copied into itself.
TEST_F(CopyFileTest, ACopyIntoItsOwnTreeLeavesItselfOut)
{
    env.writeFile("source/Tree/a.txt", "a");
    env.writeFile("source/Tree/sub/b.txt", "b");
    Recorder recorder;
    ASSERT_EQ(recorder.copy(source + "/Tree", source + "/Tree/sub/Tree"), 0) << strerror(errno);
    std::set<std::string> copied;
    for (const auto& [relative, text] : describe(source + "/Tree/sub/Tree"))
        copied.insert(relative);
    EXPECT_EQ(copied, (std::set<std::string>{"", "/a.txt", "/sub", "/sub/b.txt"}));
    EXPECT_EQ(contents(source + "/Tree/sub/Tree/sub/b.txt"), "b");
}

TEST_F(CopyFileTest, OnlyContinueOrSkipAtAnErrorLetsTheCopyGoOn)
{
    // A folder that can be listed but not searched: its entries cannot even be looked at.
    env.writeFile("source/Tree/a.txt", "a");
    const QString closed = env.makeFolder("source/Tree/closed");
    env.writeFile("source/Tree/closed/inner.txt", "inner");
    ASSERT_EQ(chmod(closed.toUtf8().constData(), 0444), 0);
    for (const ErrorAnswer& test : kErrorAnswers) {
        SCOPED_TRACE(test.name);
        QDir(destination + "/Tree").removeRecursively();
        Recorder recorder;
        const int result = recorder.copyAnsweringErrors(source + "/Tree", destination + "/Tree", test.answer);
        EXPECT_EQ(recorder.count(COPYFILE_RECURSE_FILE, COPYFILE_ERR), 1);
        EXPECT_EQ(result, test.copied ? 0 : -1);
        if (test.copied) {
            EXPECT_EQ(entries(destination + "/Tree"), (std::set<std::string>{"a.txt", "closed"}));
            EXPECT_EQ(entries(destination + "/Tree/closed"), std::set<std::string>{});
        } else {
            EXPECT_EQ(entries(destination), std::set<std::string>{});
        }
    }
    chmod(closed.toUtf8().constData(), 0755);
}

TEST_F(CopyFileTest, NeverReplacesWhatIsOrAppearsAtTheDestination)
{
    const QString file = env.writeFile("source/report.pdf", pattern(1 << 20));
    struct Case {
        const char* name;
        bool existsBefore;
    };
    for (const Case test : {Case{"there before", true}, Case{"appears meanwhile", false}}) {
        SCOPED_TRACE(test.name);
        QFile::remove(destination + "/report.pdf");
        if (test.existsBefore)
            env.writeFile("destination/report.pdf", "theirs");
        Recorder recorder;
        recorder.answer = [&](const Report& report) {
            if (report.what == COPYFILE_COPY_DATA && !QFileInfo::exists(destination + "/report.pdf"))
                env.writeFile("destination/report.pdf", "theirs");
            return COPYFILE_CONTINUE;
        };
        EXPECT_EQ(recorder.copy(file, destination + "/report.pdf"), -1);
        EXPECT_EQ(errno, EEXIST);
        EXPECT_EQ(recorder.count(COPYFILE_RECURSE_FILE, COPYFILE_ERR), 1);
        EXPECT_EQ(recorder.reports.back().error, EEXIST);
        EXPECT_EQ(contents(destination + "/report.pdf"), "theirs");
        EXPECT_EQ(entries(destination), std::set<std::string>{"report.pdf"});
    }
}

TEST_F(CopyFileTest, NeedsReadAccessToTheSourceAndWriteAccessToTheFolder)
{
    const QString outside = env.makeFolder("outside");
    const QString granted = env.writeFile("source/granted.txt", "in");
    const QString ungranted = env.writeFile("outside/ungranted.txt", "out");
    struct Case {
        const char* name;
        QString from;
        QString to;
    };
    const Case cases[] = {
        {"source outside the grants", ungranted, destination + "/copy.txt"},
        {"folder outside the grants", granted, outside + "/copy.txt"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        Recorder recorder;
        EXPECT_EQ(recorder.copy(test.from, test.to), -1);
        EXPECT_EQ(errno, EACCES);
        ASSERT_EQ(recorder.reports.size(), 1u);
        EXPECT_EQ(recorder.reports[0].stage, COPYFILE_ERR);
        EXPECT_EQ(recorder.reports[0].error, EACCES);
        EXPECT_FALSE(QFileInfo::exists(test.to));
    }
    EXPECT_EQ(entries(destination), std::set<std::string>{});
    EXPECT_EQ(entries(outside), std::set<std::string>{"ungranted.txt"});
}

// The access check judges text: a path whose bytes are not that text exactly is refused, so a link
// with such a name inside the grant cannot lead out of it.
TEST_F(CopyFileTest, PathsThatAreNotTextAreRefused)
{
    const QString outside = env.makeFolder("outside");
    env.writeFile("outside/secret", "s");
    const QByteArray oddLink = QFile::encodeName(source) + "/\xff";
    ASSERT_EQ(symlink(QFile::encodeName(outside).constData(), oddLink.constData()), 0);
    const QString file = env.writeFile("source/a.txt", "a");
    const struct {
        const char* name;
        QByteArray from;
        QByteArray to;
    } cases[] = {
        {"through an odd link", oddLink + "/secret", QFile::encodeName(destination) + "/secret"},
        {"to an odd name", QFile::encodeName(file), QFile::encodeName(destination) + "/\xfe.txt"},
    };
    for (const auto& c : cases) {
        errno = 0;
        EXPECT_EQ(copyfile(c.from.constData(), c.to.constData(), nullptr, COPYFILE_ALL | COPYFILE_RECURSIVE), -1)
            << c.name;
        EXPECT_EQ(errno, EILSEQ) << c.name;
    }
    EXPECT_EQ(entries(destination), std::set<std::string>{});
}

// Deeper than a path can name: every item is reached from its open folder, attributes included.
TEST_F(CopyFileTest, ATreeDeeperThanAPathCopiesWithItsLinksAndPipes)
{
    const std::string level(200, 'd');
    const int top = open(source.toUtf8().constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(top, 0);
    ASSERT_EQ(mkdirat(top, "Deep", 0755), 0);
    int folder = openat(top, "Deep", O_RDONLY | O_DIRECTORY);
    close(top);
    for (int depth = 0; depth < 25; ++depth) {  // 25 * 201 bytes: beyond PATH_MAX
        ASSERT_EQ(mkdirat(folder, level.c_str(), 0755), 0);
        const int next = openat(folder, level.c_str(), O_RDONLY | O_DIRECTORY);
        close(folder);
        folder = next;
        ASSERT_GE(folder, 0);
    }
    ASSERT_EQ(symlinkat("target", folder, "link"), 0);
    ASSERT_EQ(mkfifoat(folder, "pipe", 0600), 0);
    close(folder);

    Recorder recorder;
    ASSERT_EQ(recorder.copy(source + "/Deep", destination + "/Deep"), 0);
    int copied = open((destination + "/Deep").toUtf8().constData(), O_RDONLY | O_DIRECTORY);
    for (int depth = 0; depth < 25 && copied >= 0; ++depth) {
        const int next = openat(copied, level.c_str(), O_RDONLY | O_DIRECTORY);
        close(copied);
        copied = next;
    }
    ASSERT_GE(copied, 0);
    char target[16] = {};
    EXPECT_EQ(readlinkat(copied, "link", target, sizeof target - 1), 6);
    EXPECT_STREQ(target, "target");
    struct stat pipe {};
    EXPECT_EQ(fstatat(copied, "pipe", &pipe, AT_SYMLINK_NOFOLLOW), 0);
    EXPECT_TRUE(S_ISFIFO(pipe.st_mode));
    close(copied);
    // Too deep for removal by path when the test's folder goes.
    for (const QString& root : {source, destination}) {
        const int fd = open(root.toUtf8().constData(), O_RDONLY | O_DIRECTORY);
        copying::removeItem(fd, "Deep");
        close(fd);
    }
}

// A leftover is what a killed copy left, known by its record that no copy holds any more; a name that
// merely looks like a partial item is the user's and stays.
TEST_F(CopyFileTest, NextCopyRemovesLeftoversOfAKilledCopyOnly)
{
    // A folder: it is written under a partial name while it is copied.
    const QString big = env.makeFolder("source/Disk");
    {
        QFile image(big + "/big.img");
        ASSERT_TRUE(image.open(QIODevice::WriteOnly));
        ASSERT_TRUE(image.resize(qint64(8) << 30));
    }
    QProcess killed;
    startCopyUntilKilled(killed, big, destination + "/Disk");
    const auto partials = [&] {
        std::set<std::string> found;
        for (const std::string& name : entries(destination))
            if (name.rfind(".harbrill-partial-", 0) == 0)
                found.insert(name);
        return found;
    };
    ASSERT_TRUE(waitUntil([&] { return partials().size() == 1; }, 20000));
    // A copy in progress keeps its partial item.
    const QString other = env.writeFile("source/other.txt", "o");
    ASSERT_EQ(
        copyfile(other.toUtf8().constData(), (destination + "/other.txt").toUtf8().constData(), nullptr, COPYFILE_ALL),
        0);
    const std::set<std::string> leftover = partials();
    ASSERT_EQ(leftover.size(), 1u);
    const pid_t dead = pid_t(killed.processId());
    killed.kill();
    ASSERT_TRUE(killed.waitForFinished());

    const QString lookalike = QStringLiteral(".harbrill-partial-%1-0badc0de-Photos").arg(dead);
    env.writeFile("destination/" + lookalike, "the user's own");
    env.writeFile("destination/.harbrill-partial-notes", "not ours");

    const QString file = env.writeFile("source/new.txt", "new");
    ASSERT_EQ(copyfile(file.toUtf8().constData(), (destination + "/new.txt").toUtf8().constData(), nullptr,
                       COPYFILE_ALL | COPYFILE_RECURSIVE),
              0);
    EXPECT_EQ(entries(destination),
              (std::set<std::string>{"new.txt", "other.txt", lookalike.toStdString(), ".harbrill-partial-notes"}));
}

// A file is written as a file of no name until it is complete: a killed copy leaves nothing at all.
TEST_F(CopyFileTest, AKilledCopyOfAFileLeavesNothing)
{
    const QString file = env.writeFile("source/photo.jpg", pattern(1 << 20));
    QProcess killed;
    const QString ready = startCopyUntilKilled(killed, file, destination + "/photo.jpg");
    ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(ready); }, 20000));
    EXPECT_EQ(entries(destination), std::set<std::string>{});
    killed.kill();
    ASSERT_TRUE(killed.waitForFinished());
    EXPECT_EQ(entries(destination), std::set<std::string>{});
}

// Many entries are copied at once; what the callback sees stays as if one at a time.
TEST_F(CopyFileTest, ManyFilesCopyWholeWithReportsThatAddUp)
{
    const QString tree = source + "/Many";
    const ManyFiles made = makeManyFiles(tree, 4, 300);
    Recorder recorder;
    ASSERT_EQ(recorder.copy(tree, destination + "/Many"), 0) << strerror(errno);

    EXPECT_EQ(describe(destination + "/Many"), describe(tree));
    EXPECT_FALSE(recorder.overlapped);
    EXPECT_EQ(orderFaults(recorder.reports), std::vector<std::string>{});
    const int entries = 4 * 300 + 1;
    EXPECT_EQ(recorder.count(COPYFILE_RECURSE_FILE, COPYFILE_START), entries);
    EXPECT_EQ(recorder.count(COPYFILE_RECURSE_FILE, COPYFILE_FINISH), entries);
    EXPECT_EQ(recorder.count(COPYFILE_RECURSE_DIR, COPYFILE_FINISH), 5);
    EXPECT_EQ(recorder.count(COPYFILE_COPY_XATTR, COPYFILE_FINISH), made.attributes);
    const ProgressSum progress(recorder.reports);
    EXPECT_EQ(progress.bytes, made.bytes);
    EXPECT_EQ(progress.items, entries + 5);
    EXPECT_FALSE(progress.shrank);
    // The large file's data is reported as it goes, in more than one step.
    int largeReports = 0;
    for (const Report& report : recorder.reports)
        largeReports += report.what == COPYFILE_COPY_DATA && report.source.ends_with("/large.bin");
    EXPECT_GE(largeReports, 2);
}

// Answers reach entries that were already written when they were reported.
TEST_F(CopyFileTest, AnswersApplyToEntriesCopiedAhead)
{
    const QString tree = source + "/Many";
    const ManyFiles made = makeManyFiles(tree, 3, 200);
    const std::string from = tree.toStdString();
    struct Case {
        const char* name;
        std::function<int(const Report&)> answer;
        std::set<std::string> missing;  // relative to the top
        bool attributeKept;             // user.n of folder0/file7
    };
    const auto isFile = [&](const Report& r, const char* relative, int what, int stage) {
        return r.what == what && r.stage == stage && r.source == from + relative;
    };
    const Case cases[] = {
        {"skip at a file's start",
         [&](const Report& r) {
             return isFile(r, "/folder1/file4", COPYFILE_RECURSE_FILE, COPYFILE_START) ? COPYFILE_SKIP
                                                                                       : COPYFILE_CONTINUE;
         },
         {"/folder1/file4"},
         true},
        {"skip at a file's data",
         [&](const Report& r) {
             return isFile(r, "/folder2/file10", COPYFILE_COPY_DATA, COPYFILE_PROGRESS) ? COPYFILE_SKIP
                                                                                        : COPYFILE_CONTINUE;
         },
         {"/folder2/file10"},
         true},
        {"skip at an attribute",
         [&](const Report& r) {
             return isFile(r, "/folder0/file7", COPYFILE_COPY_XATTR, COPYFILE_START) ? COPYFILE_SKIP
                                                                                     : COPYFILE_CONTINUE;
         },
         {},
         false},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        QDir(destination + "/Many").removeRecursively();
        Recorder recorder;
        recorder.answer = test.answer;
        ASSERT_EQ(recorder.copy(tree, destination + "/Many"), 0) << strerror(errno);

        std::map<std::string, std::string> expected = describe(tree);
        std::map<std::string, std::string> copied = describe(destination + "/Many");
        for (const std::string& relative : test.missing) {
            EXPECT_EQ(copied.erase(relative), 0u) << relative;
            expected.erase(relative);
        }
        const std::string withAttribute = "/folder0/file7";
        EXPECT_EQ(copied[withAttribute].find("user.n=") != std::string::npos, test.attributeKept);
        copied.erase(withAttribute);
        expected.erase(withAttribute);
        EXPECT_EQ(copied, expected);
        EXPECT_EQ(orderFaults(recorder.reports), std::vector<std::string>{});
        EXPECT_EQ(recorder.count(COPYFILE_RECURSE_FILE, COPYFILE_FINISH), 3 * 200 + 1 - int(test.missing.size()));
        // The attribute skipped has no finish report.
        EXPECT_EQ(recorder.count(COPYFILE_COPY_XATTR, COPYFILE_FINISH), made.attributes - !test.attributeKept);
    }
}

// An entry that fails among many: quitting leaves nothing, going on leaves out that entry alone.
TEST_F(CopyFileTest, AFailingEntryAmongManyStopsTheCopyOrIsLeftOut)
{
    const QString tree = source + "/Many";
    makeManyFiles(tree, 3, 200);
    const QString unreadable = tree + "/folder1/file120";
    ASSERT_EQ(chmod(unreadable.toUtf8().constData(), 0), 0);
    for (const ErrorAnswer& test : kErrorAnswers) {
        SCOPED_TRACE(test.name);
        QDir(destination + "/Many").removeRecursively();
        Recorder recorder;
        const int result = recorder.copyAnsweringErrors(tree, destination + "/Many", test.answer);
        EXPECT_EQ(result, test.copied ? 0 : -1);
        ASSERT_EQ(recorder.count(COPYFILE_RECURSE_FILE, COPYFILE_ERR), 1);
        EXPECT_FALSE(recorder.reportedAfterQuit);
        EXPECT_EQ(orderFaults(recorder.reports), std::vector<std::string>{});
        if (!test.copied) {
            EXPECT_EQ(errno, EACCES);
            EXPECT_EQ(entries(destination), std::set<std::string>{});
            continue;
        }
        std::map<std::string, std::string> expected = describe(tree);
        expected.erase("/folder1/file120");
        EXPECT_EQ(describe(destination + "/Many"), expected);
        EXPECT_EQ(recorder.count(COPYFILE_RECURSE_FILE, COPYFILE_FINISH), 3 * 200);
    }
}

TEST_F(CopyFileTest, QuittingInTheMiddleOfManyFilesLeavesNothing)
{
    const QString tree = source + "/Many";
    makeManyFiles(tree, 4, 250);
    struct Case {
        const char* name;
        std::function<bool(const Report&, int finished)> quitAt;
    };
    const Case cases[] = {
        {"at the 300th finished file",
         [](const Report& r, int finished) { return r.what == COPYFILE_RECURSE_FILE && finished == 300; }},
        {"as a folder finishes",
         [](const Report& r, int) { return r.what == COPYFILE_RECURSE_DIR && r.stage == COPYFILE_FINISH; }},
        {"within the large file",
         [](const Report& r, int) { return r.what == COPYFILE_COPY_DATA && r.copied > (8 << 20); }},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        Recorder recorder;
        int finished = 0;
        recorder.answer = [&](const Report& report) {
            finished += report.what == COPYFILE_RECURSE_FILE && report.stage == COPYFILE_FINISH;
            return test.quitAt(report, finished) ? COPYFILE_QUIT : COPYFILE_CONTINUE;
        };
        EXPECT_EQ(recorder.copy(tree, destination + "/Many"), -1);
        EXPECT_EQ(errno, ECANCELED);
        EXPECT_TRUE(recorder.quit);
        EXPECT_FALSE(recorder.reportedAfterQuit);
        EXPECT_EQ(entries(destination), std::set<std::string>{});
    }
}

// Holes are not written out, wherever the copy goes: data, size and the byte count stay exact, the
// room taken stays that of the data.
TEST_F(CopyFileTest, SparseFilesKeepTheirHoles)
{
    const QString other = env.makeFolder("other");
    SmallVolume otherVolume(other, QStringLiteral("64m"));
    if (!otherVolume.isMounted())
        HB_SKIP_WITHOUT_ROOT_SETUP(otherVolume.reason().toStdString());
    env.grant(other);

    struct Region {
        off_t offset;
        qsizetype length;
    };
    // A region across the edge of two data chunks, one that ends within a block, and a hole at the end.
    const std::vector<Region> scattered = {
        {0, 64 << 10}, {(12 << 20) + 4096, (8 << 10) + 100}, {(20 << 20) - 4096, 9 << 20}};
    const off_t size = (32 << 20) + 123;
    const auto writeSparse = [&](const QString& path, const std::vector<Region>& regions) {
        const int fd = open(path.toUtf8().constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        ASSERT_GE(fd, 0);
        for (const Region& region : regions)
            ASSERT_EQ(pwrite(fd, pattern(region.length).constData(), region.length, region.offset), region.length);
        ASSERT_EQ(ftruncate(fd, size), 0);
        close(fd);
    };
    const auto allocated = [](const QString& path) {
        struct stat status {};
        stat(path.toUtf8().constData(), &status);
        return off_t(status.st_blocks) * 512;
    };
    env.makeFolder("source/Disks");
    writeSparse(source + "/disk.img", scattered);
    writeSparse(source + "/Disks/disk.img", scattered);
    writeSparse(source + "/empty.img", {});
    struct Case {
        const char* name;
        QString from;
        QString to;
        QString original;  // the sparse file copied
        QString copy;
    };
    const Case cases[] = {
        {"within a file system", source + "/disk.img", destination + "/disk.img", source + "/disk.img",
         destination + "/disk.img"},
        {"to another file system", source + "/disk.img", other + "/disk.img", source + "/disk.img",
         other + "/disk.img"},
        {"inside a folder", source + "/Disks", destination + "/Disks", source + "/Disks/disk.img",
         destination + "/Disks/disk.img"},
        {"nothing but a hole", source + "/empty.img", destination + "/empty.img", source + "/empty.img",
         destination + "/empty.img"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        Recorder recorder;
        ASSERT_EQ(recorder.copy(test.from, test.to), 0) << strerror(errno);
        EXPECT_TRUE(contents(test.copy) == contents(test.original));
        EXPECT_EQ(QFileInfo(test.copy).size(), size);
        EXPECT_LE(allocated(test.copy), allocated(test.original) + (256 << 10));
        EXPECT_LT(allocated(test.copy), 12 << 20);
        EXPECT_EQ(ProgressSum(recorder.reports).bytes, std::uint64_t(size));
    }
}

// The threads that copy a tree's entries yield to the rest of the program, and so does the I/O of a
// large file's data on the calling thread, which is as it was afterwards.
TEST_F(CopyFileTest, CopyingYieldsToTheRestOfTheProgram)
{
    struct Seen {
        pid_t thread;
        int what;
        int nice;
        int ioPriority;
    };
    struct Watch {
        std::mutex mutex;
        std::vector<Seen> seen;
    };
    const copyfile_callback_t look = [](int what, int, copyfile_state_t, const char*, const char*, void* context) {
        auto* watch = static_cast<Watch*>(context);
        const Seen seen{gettid(), what, threadNice(), threadIoPriority()};
        std::lock_guard lock(watch->mutex);
        watch->seen.push_back(seen);
        return int(COPYFILE_CONTINUE);
    };
    const auto copyWatched = [&](const QString& from, const QString& to) {
        Watch watch;
        copyfile_state_t state = copyfile_state_alloc();
        copyfile_state_set(state, COPYFILE_STATE_STATUS_CB, reinterpret_cast<const void*>(look));
        copyfile_state_set(state, COPYFILE_STATE_STATUS_CTX, &watch);
        EXPECT_EQ(
            copyfile(from.toUtf8().constData(), to.toUtf8().constData(), state, COPYFILE_ALL | COPYFILE_RECURSIVE), 0);
        copyfile_state_free(state);
        return watch.seen;
    };
    using Priorities = std::set<std::pair<int, int>>;  // (nice, I/O priority)
    const int niceBefore = threadNice();
    const int ioBefore = threadIoPriority();
    const int lowestBestEffort = IOPRIO_PRIO_VALUE(IOPRIO_CLASS_BE, 7);

    makeManyFiles(source + "/Many", 3, 100);
    Priorities caller, workers;
    for (const Seen& seen : copyWatched(source + "/Many", destination + "/Many"))
        (seen.thread == gettid() ? caller : workers).insert({seen.nice, seen.ioPriority});
    EXPECT_EQ(caller, (Priorities{{niceBefore, ioBefore}}));
    EXPECT_EQ(workers, (Priorities{{std::min(niceBefore + 10, 19), lowestBestEffort}}));

    const QString large = env.writeFile("source/large.bin", pattern((20 << 20) + 1));
    Priorities data;
    for (const Seen& seen : copyWatched(large, destination + "/large.bin")) {
        if (seen.what == COPYFILE_COPY_DATA)
            data.insert({seen.nice, seen.ioPriority});
    }
    EXPECT_EQ(data, (Priorities{{niceBefore, lowestBestEffort}}));
    EXPECT_EQ(threadNice(), niceBefore);
    EXPECT_EQ(threadIoPriority(), ioBefore);
}

// A small file system of its own, to run out of space for real.
class CopyFileSpaceTest : public CopyFileTest {
protected:
    void SetUp() override
    {
        CopyFileTest::SetUp();
        small = env.makeFolder("small");
        volume.emplace(small);
        if (!volume->isMounted())
            HB_SKIP_WITHOUT_ROOT_SETUP(volume->reason().toStdString());
        env.grant(small);
    }
    void TearDown() override { volume.reset(); }

    QString small;
    std::optional<SmallVolume> volume;
};

TEST_F(CopyFileSpaceTest, RunningOutOfSpaceLeavesEarlierItemsAndNoPartialItem)
{
    const QString first = env.writeFile("source/first.txt", pattern(100 << 10));
    ASSERT_EQ(copyfile(first.toUtf8().constData(), (small + "/first.txt").toUtf8().constData(), nullptr, COPYFILE_ALL),
              0);
    const QString big = env.writeFile("source/big.bin", pattern(2 << 20));
    for (int i = 0; i < 4; ++i)
        env.writeFile(QStringLiteral("source/Album/photo%1.jpg").arg(i), pattern(400 << 10));

    for (const QString& item : {big, source + "/Album"}) {
        SCOPED_TRACE(item.toStdString());
        Recorder recorder;
        const QString target = small + "/" + QFileInfo(item).fileName();
        EXPECT_EQ(recorder.copy(item, target), -1);
        EXPECT_EQ(errno, ENOSPC);
        ASSERT_FALSE(recorder.reports.empty());
        EXPECT_EQ(recorder.reports.back().stage, COPYFILE_ERR);
        EXPECT_EQ(recorder.reports.back().error, ENOSPC);
        EXPECT_EQ(entries(small), std::set<std::string>{"first.txt"});
        EXPECT_TRUE(contents(small + "/first.txt") == pattern(100 << 10));
    }

    // Going on after an error leaves the failed file out, not half-written.
    Recorder goingOn;
    goingOn.answer = [](const Report&) { return COPYFILE_CONTINUE; };
    EXPECT_EQ(goingOn.copy(source + "/Album", small + "/Album"), 0);
    EXPECT_GE(goingOn.count(COPYFILE_RECURSE_FILE, COPYFILE_ERR), 1);
    const std::set<std::string> kept = entries(small + "/Album");
    EXPECT_LT(kept.size(), 4u);
    for (const std::string& name : kept)
        EXPECT_TRUE(contents(small + "/Album/" + QString::fromStdString(name)) == pattern(400 << 10)) << name;
}

// Run by the tests of killed copies in a process of its own, which they kill halfway through the
// copy: the copy waits at its first data report (a sparse file is copied in no time) until it is
// killed, and says so by making the file HB_COPY_HELPER_READY.
TEST(CopyFileHelper, DISABLED_CopyUntilKilled)
{
    const QString from = qEnvironmentVariable("HB_COPY_HELPER_FROM");
    const QString to = qEnvironmentVariable("HB_COPY_HELPER_TO");
    if (from.isEmpty() || to.isEmpty())
        GTEST_SKIP() << "runs only as a helper process";
    AccessRegistry::grantStanding(QFileInfo(from).path());
    AccessRegistry::grantStanding(QFileInfo(to).path());
    static const QByteArray ready = qgetenv("HB_COPY_HELPER_READY");
    const copyfile_callback_t waitAtData = [](int what, int, copyfile_state_t, const char*, const char*, void*) {
        if (what == COPYFILE_COPY_DATA) {
            close(open(ready.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
            for (;;)
                pause();
        }
        return int(COPYFILE_CONTINUE);
    };
    copyfile_state_t state = copyfile_state_alloc();
    copyfile_state_set(state, COPYFILE_STATE_STATUS_CB, reinterpret_cast<const void*>(waitAtData));
    copyfile(from.toUtf8().constData(), to.toUtf8().constData(), state, COPYFILE_ALL | COPYFILE_RECURSIVE);
    copyfile_state_free(state);
}
