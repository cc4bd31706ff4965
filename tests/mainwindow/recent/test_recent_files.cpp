#include "TestEnvironment.h"

#include "mainwindow/recent/CustomTableView.h"
#include "mainwindow/recent/MetadataQueryUtils.h"
#include "mainwindow/recent/RecentTableCellView.h"
#include "mainwindow/recent/RecentViewController.h"
#include "platform/files/AccessRegistry.h"
#include "platform/interface/Alert.h"
#include "platform/interface/Workspace.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSet>
#include <QTest>
#include <QThread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

using namespace std::chrono_literals;
using hb::MetadataDate;

// A home folder with a file of every kind the groups tell apart, headers and all, and the things a
// search must pass over.
void fillHome(const TestEnvironment& env)
{
    env.writeFile("home/Documents/report.pdf", "%PDF-1.4\n1 0 obj\n<<>>\nendobj\ntrailer\n");
    env.writeFile("home/Documents/scan", "%PDF-1.5\n%\xe2\xe3\xcf\xd3\n");  // a PDF known by its content only
    env.writeFile("home/Documents/layout.wwf", "%PDF-1.4\n");               // conforms to PDF, is not one
    env.writeFile("home/Pictures/photo.png",
                  QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\1\0\0\0\1\x08\x02\0\0\0", 29));
    env.writeFile("home/Music/song.mp3", QByteArray("ID3\x03\0\0\0\0\0\x0a", 10) + QByteArray(64, '\0'));
    env.writeFile("home/Videos/clip.mp4", QByteArray("\0\0\0\x18"
                                                     "ftypmp42\0\0\0\0mp42isom",
                                                     24));
    env.writeFile("home/notes.txt", "shopping list\n");
    env.writeFile("home/Downloads/bundle.zip", QByteArray("PK\x03\x04\x14\0\0\0", 8));
    env.writeFile("home/Downloads/blob.bin", QByteArray("\x01\x02\x03\x04\xfe\xff", 6));
    env.writeFile("home/Downloads/tool", QByteArray("\x7f"
                                                    "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x02\0\x3e\0",
                                                    20)
                                             + QByteArray(44, '\0'));
    ::chmod(QFile::encodeName(env.home() + "/Downloads/tool").constData(), 0755);
    env.writeFile("home/Desktop/editor.desktop", "[Desktop Entry]\nType=Application\nName=Editor\nExec=editor\n");
    env.writeFile("home/Desktop/Launcher.AppImage", QByteArray("\x7f"
                                                               "ELF\x02\x01\x01\0AI\x02",
                                                               11));
    env.writeFile("home/build.log", "started\nfinished\n");
    env.writeFile("home/.secret.pdf", "%PDF-1.4\n");
    env.writeFile("home/.cache/thumb.png", QByteArray("\x89PNG\r\n\x1a\n", 8));
    env.writeFile("home/Documents/.drafts/draft.txt", "draft");
    env.makeFolder("home/Projects");
    ASSERT_EQ(::symlink("loopB", QFile::encodeName(env.home() + "/loopA").constData()), 0);
    ASSERT_EQ(::symlink("loopA", QFile::encodeName(env.home() + "/loopB").constData()), 0);
    ASSERT_EQ(::symlink("..", QFile::encodeName(env.home() + "/Projects/up").constData()), 0);
    ::mkfifo(QFile::encodeName(env.home() + "/pipe").constData(), 0600);
    const int fd = ::open((QFile::encodeName(env.home()) + "/Documents/caf\xe9.pdf").constData(),
                          O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::close(fd);
}

// The temporary folder's own clean-up cannot name what does not read as UTF-8.
void removeRawNames(const TestEnvironment& env)
{
    ::unlink((QFile::encodeName(env.home()) + "/Documents/caf\xe9.pdf").constData());
}

class Recorder : public recentViewProtocol {
public:
    std::vector<std::vector<hb::MetadataItem>> deliveries;
    void updateRecentFiles(std::vector<hb::MetadataItem> items) override { deliveries.push_back(std::move(items)); }
};

QStringList names(const std::vector<hb::MetadataItem>& items)
{
    QStringList result;
    for (const hb::MetadataItem& item : items)
        result << item.path().value_or(QString()).section(u'/', -1);
    return result;
}

MetadataDate now()
{
    return std::chrono::system_clock::now();
}

class RecentQueryTest : public HarbrillTest {
protected:
    void SetUp() override { fillHome(env); }
    void TearDown() override { removeRawNames(env); }

    // The deliveries of one search, after it had time to finish.
    std::vector<std::vector<hb::MetadataItem>> search(const QString& group, MetadataDate from, MetadataDate to)
    {
        Recorder recorder;
        MetadataQueryUtils utils;
        utils.delegate = &recorder;
        utils.startQuery(group, from, to);
        if (utils.metadataQuery && utils.metadataQuery->isStarted()) {
            EXPECT_TRUE(waitUntil([&] { return !recorder.deliveries.empty(); }));
        }
        waitUntil([] { return false; }, 100);  // a second delivery would come now
        return recorder.deliveries;
    }
    QStringList found(const QString& group)
    {
        const auto deliveries = search(group, now() - 1h, now() + 1h);
        EXPECT_EQ(deliveries.size(), 1u) << group.toStdString();
        return deliveries.empty() ? QStringList() : names(deliveries.front());
    }
};

TEST_F(RecentQueryTest, EachGroupFindsItsKindAndNeverHiddenItemsApplicationsOrLogs)
{
    const QStringList never = {"tool",      "editor.desktop", "Launcher.AppImage",
                               "build.log", ".secret.pdf",    "thumb.png",
                               "draft.txt", "pipe",           "caf\xef\xbf\xbd.pdf"};
    const struct {
        const char* group;
        QStringList includes;
        QStringList excludes;
    } cases[] = {
        {"All Type",
         {"report.pdf", "scan", "photo.png", "song.mp3", "clip.mp4", "notes.txt", "bundle.zip", "blob.bin", "Projects",
          "Documents"},
         {}},
        {"PDF", {"report.pdf", "scan", "layout.wwf"}, {"photo.png", "notes.txt", "Documents"}},
        {"Photos", {"photo.png"}, {"report.pdf", "clip.mp4"}},
        {"Music", {"song.mp3"}, {"clip.mp4", "notes.txt"}},
        {"Videos", {"clip.mp4"}, {"song.mp3", "photo.png"}},
        {"Text", {"notes.txt"}, {"report.pdf"}},
        {"Archive", {"bundle.zip"}, {"blob.bin", "notes.txt"}},
        {"Folder", {"Projects", "Documents", "Downloads"}, {"report.pdf", "up", "loopA"}},
        // Everything outside the named groups; PDFs are left out by their own type only.
        {"Other",
         {"blob.bin", "layout.wwf"},
         {"report.pdf", "scan", "photo.png", "song.mp3", "clip.mp4", "notes.txt", "bundle.zip", "Projects"}},
    };
    for (const auto& test : cases) {
        const QStringList result = found(QString::fromUtf8(test.group));
        for (const QString& name : test.includes)
            EXPECT_TRUE(result.contains(name)) << test.group << " lacks " << name.toStdString();
        for (const QString& name : test.excludes + never)
            EXPECT_FALSE(result.contains(name)) << test.group << " has " << name.toStdString();
    }
}

TEST_F(RecentQueryTest, UnknownGroupsSearchNothing)
{
    for (const char* group : {"pdf", "Photo", "", "All Types"})
        EXPECT_TRUE(search(QString::fromUtf8(group), now() - 1h, now() + 1h).empty()) << group;
}

TEST_F(RecentQueryTest, BothBoundsAreStrictAndAnEmptyWindowDeliversOnce)
{
    const auto wide = search("PDF", now() - 1h, now() + 1h);
    ASSERT_EQ(wide.size(), 1u);
    const auto report = std::find_if(wide[0].begin(), wide[0].end(),
                                     [](const auto& item) { return item.path()->endsWith("/report.pdf"); });
    ASSERT_NE(report, wide[0].end());
    const MetadataDate added = report->dateAdded();
    const auto contains = [&](MetadataDate from, MetadataDate to) {
        const auto deliveries = search("PDF", from, to);
        return deliveries.size() == 1 && names(deliveries[0]).contains("report.pdf");
    };
    EXPECT_FALSE(contains(added, now() + 1h));
    EXPECT_TRUE(contains(added - 1us, now() + 1h));
    EXPECT_FALSE(contains(now() - 1h, added));
    EXPECT_TRUE(contains(now() - 1h, added + 1us));

    const auto empty = search("All Type", MetadataDate(631'152'000s), MetadataDate(662'688'000s));  // 1990
    ASSERT_EQ(empty.size(), 1u);
    EXPECT_TRUE(empty[0].empty());
}

TEST_F(RecentQueryTest, NewestFirst)
{
    QThread::msleep(20);
    env.writeFile("home/latest.txt", "new");
    const auto deliveries = search("All Type", now() - 1h, now() + 1h);
    ASSERT_EQ(deliveries.size(), 1u);
    const auto& items = deliveries[0];
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(names(items).first(), QStringLiteral("latest.txt"));
    for (std::size_t i = 1; i < items.size(); ++i)
        EXPECT_GE(items[i - 1].dateAdded(), items[i].dateAdded());
}

TEST(RecentTimeWindow, StartsAtDayWeekAndMonthBoundaries)
{
    const QDateTime wednesday(QDate(2026, 12, 9), QTime(15, 30));
    const QDate weekStart = wednesday.date().addDays(
        -((wednesday.date().dayOfWeek() - QLocale::system().firstDayOfWeek() + 7) % 7));
    const auto at = [](const QDateTime& moment) {
        return MetadataDate(std::chrono::milliseconds(moment.toMSecsSinceEpoch()));
    };
    const struct {
        int index;
        QDateTime start;
        QDateTime end;
    } cases[] = {
        {0, QDate(2026, 12, 9).startOfDay(), wednesday},
        {1, QDate(2026, 12, 8).startOfDay(), QDate(2026, 12, 9).startOfDay()},
        {2, weekStart.startOfDay(), wednesday},
        {3, QDate(2026, 12, 1).startOfDay(), wednesday},
        {7, weekStart.startOfDay(), wednesday},
    };
    for (const auto& test : cases) {
        const auto [start, end] = RecentViewController::timeWindow(test.index, wednesday);
        EXPECT_EQ(start, at(test.start)) << test.index;
        EXPECT_EQ(end, at(test.end)) << test.index;
    }
}

class Chooser : public recentFilesProtocol {
public:
    std::vector<QList<hb::URL>> results;
    int closes = 0;
    void onResult(const QList<hb::URL>& urls) override { results.push_back(urls); }
    void onClose() override { ++closes; }
};

class RecentBrowserTest : public HarbrillTest {
protected:
    void SetUp() override
    {
        fillHome(env);
        // As after the first launch, when the user granted the home folder.
        env.grant(env.home());
        hb::Alert::setPresenter([this](const hb::Alert& alert) {
            alerts << alert.messageText + " / " + alert.informativeText;
            return int(hb::NSAlertFirstButtonReturn);
        });
        hb::Workspace::setOpener([this](const QUrl& url) {
            opened << url.toLocalFile();
            return true;
        });
        browser = std::make_unique<RecentViewController>();
        browser->delegate = &chooser;
        browser->resize(420, 500);
        browser->show();
        ASSERT_TRUE(waitUntil([&] { return browser->filesLoadingIndicator->isHidden(); }));
    }
    void TearDown() override
    {
        browser.reset();
        removeRawNames(env);
        hb::Alert::setPresenter(nullptr);
        hb::Workspace::setOpener(nullptr);
    }

    void choose(const QString& group)
    {
        browser->fileTypePopUpButton->setCurrentText(group);
        browser->fileTypeChanged();
        ASSERT_TRUE(waitUntil([&] { return browser->filesLoadingIndicator->isHidden(); }));
    }
    std::int64_t rowOf(const QString& name) const
    {
        for (std::size_t row = 0; row < browser->resultArray.size(); ++row) {
            if (browser->resultArray[row].path()->endsWith(u'/' + name))
                return static_cast<std::int64_t>(row);
        }
        return -1;
    }
    // The row's view, scrolled into sight first: rows out of sight have none.
    RecentTableCellView* cell(std::int64_t row) const
    {
        browser->scrollArea->ensureVisible(0, static_cast<int>(browser->tableView->rowHeight() * (row + 0.5)));
        return qobject_cast<RecentTableCellView*>(browser->tableView->viewAtRow(row));
    }
    // Check box, table selection and the chosen count agree for the row.
    void expectInStep(std::int64_t row, bool chosen) const
    {
        ASSERT_NE(cell(row), nullptr);
        EXPECT_EQ(cell(row)->selectFileButton->isChecked(), chosen) << row;
        EXPECT_EQ(browser->tableView->selectedRowIndexes().count(row) == 1, chosen) << row;
        EXPECT_EQ(browser->numberOfSelectedRowsTextField->text(), QString::number(browser->selectedItemDict.size()));
        EXPECT_EQ(browser->doneButton->isEnabled(), !browser->selectedItemDict.isEmpty());
    }
    QStringList handedOver(std::size_t index = 0) const
    {
        QStringList paths;
        for (const hb::URL& url : chooser.results.at(index))
            paths << url.lastPathComponent();
        paths.sort();
        return paths;
    }

    Chooser chooser;
    QStringList alerts;
    QStringList opened;
    std::unique_ptr<RecentViewController> browser;
};

TEST_F(RecentBrowserTest, OpensOnThisWeekAndAllTypeAndCountsTheRows)
{
    EXPECT_EQ(browser->fileTypePopUpButton->currentText(), QStringLiteral("All Type"));
    EXPECT_EQ(browser->timeFramePopUpButton->currentText(), QStringLiteral("This Week"));
    EXPECT_EQ(browser->fileTypePopUpButton->count(), 9);
    EXPECT_GT(browser->resultArray.size(), 5u);
    EXPECT_EQ(browser->recentItemsTextFiield->text(),
              QStringLiteral("%1 recent items").arg(browser->resultArray.size()));
    EXPECT_EQ(browser->tableView->numberOfRows(), static_cast<std::int64_t>(browser->resultArray.size()));

    browser->timeFramePopUpButton->setCurrentIndex(1);  // yesterday: nothing here was added then
    browser->timeFrameChanged();
    ASSERT_TRUE(waitUntil([&] { return browser->filesLoadingIndicator->isHidden(); }));
    EXPECT_EQ(browser->recentItemsTextFiield->text(), QStringLiteral("0 recent items"));
    EXPECT_EQ(browser->tableView->property("gridColor").value<QColor>().alpha(), 0);
}

TEST_F(RecentBrowserTest, MakesRowViewsOnlyForRowsInSight)
{
    for (int i = 0; i < 120; ++i)
        env.writeFile(QStringLiteral("home/Many/file%1.txt").arg(i), "x");
    // A new time window takes in what was added since the browser opened.
    browser->typeSelected = QStringLiteral("Text");
    browser->timeFrameChanged();
    ASSERT_TRUE(waitUntil([&] { return browser->filesLoadingIndicator->isHidden(); }));
    CustomTableView& table = *browser->tableView;
    ASSERT_GT(table.numberOfRows(), 100);
    EXPECT_NE(table.viewAtRow(0), nullptr);
    EXPECT_EQ(table.viewAtRow(table.numberOfRows() - 1), nullptr);
    EXPECT_EQ(browser->recentItemsTextFiield->text(), QStringLiteral("%1 recent items").arg(table.numberOfRows()));
    // Hovering never makes a view.
    table.mouseMoved(table.rectOfRow(table.numberOfRows() - 1).center());
    EXPECT_EQ(table.viewAtRow(table.numberOfRows() - 1), nullptr);
    EXPECT_NE(cell(table.numberOfRows() - 1), nullptr);
}

TEST_F(RecentBrowserTest, CheckBoxAndRowClickToggleTheSameChoice)
{
    const std::int64_t row = rowOf("notes.txt");
    ASSERT_GE(row, 0);
    cell(row)->selectFileButton->click();
    expectInStep(row, true);
    browser->tableViewDidClickRow(*browser->tableView, row);
    expectInStep(row, false);
    browser->tableViewDidClickRow(*browser->tableView, row);
    expectInStep(row, true);
    cell(row)->selectFileButton->click();
    expectInStep(row, false);
}

TEST_F(RecentBrowserTest, ChoicesSurviveAFilterChangeOncePerFile)
{
    cell(rowOf("report.pdf"))->selectFileButton->click();
    cell(rowOf("notes.txt"))->selectFileButton->click();
    choose("PDF");
    // The same file found by the new search shows as chosen and cannot be chosen a second time.
    const std::int64_t report = rowOf("report.pdf");
    ASSERT_GE(report, 0);
    expectInStep(report, true);
    cell(rowOf("scan"))->selectFileButton->click();
    EXPECT_EQ(browser->numberOfSelectedRowsTextField->text(), QStringLiteral("3"));

    browser->doneButton->click();
    ASSERT_EQ(chooser.results.size(), 1u);
    EXPECT_EQ(handedOver(), (QStringList{"notes.txt", "report.pdf", "scan"}));
    EXPECT_TRUE(browser->selectedItemDict.isEmpty());
    EXPECT_FALSE(browser->doneButton->isEnabled());
    EXPECT_TRUE(alerts.isEmpty());
}

TEST_F(RecentBrowserTest, VanishedFilesAreReportedAndLeftOut)
{
    cell(rowOf("report.pdf"))->selectFileButton->click();
    cell(rowOf("notes.txt"))->selectFileButton->click();
    ASSERT_TRUE(QFile::remove(env.home() + "/notes.txt"));
    browser->doneButton->click();
    ASSERT_EQ(chooser.results.size(), 1u);
    EXPECT_EQ(handedOver(), QStringList{"report.pdf"});
    EXPECT_EQ(alerts, QStringList{"File not Found / File Deleted/Moved. Refresh and Try again"});

    // Revealing a vanished file takes its row away with the same alert; a present one is shown.
    const std::size_t rows = browser->resultArray.size();
    ASSERT_TRUE(QFile::remove(env.home() + "/Music/song.mp3"));
    browser->showFileButtonAction(cell(rowOf("song.mp3"))->showFileButton);
    EXPECT_EQ(browser->resultArray.size(), rows - 1);
    EXPECT_EQ(rowOf("song.mp3"), -1);
    EXPECT_EQ(alerts.size(), 2);
    browser->showFileButtonAction(cell(rowOf("photo.png"))->showFileButton);
    EXPECT_EQ(opened, QStringList{env.home() + "/Pictures/"});
}

TEST_F(RecentBrowserTest, HoverMovesTheRevealButtonAndPressesBelowTheRowsDoNothing)
{
    CustomTableView& table = *browser->tableView;
    ASSERT_GE(table.numberOfRows(), 6);
    const auto revealShown = [&](std::int64_t row) { return !cell(row)->showFileButton->isHidden(); };
    table.mouseMoved(table.rectOfRow(2).center());
    EXPECT_TRUE(revealShown(2));
    table.mouseMoved(table.rectOfRow(5).center());
    EXPECT_FALSE(revealShown(2));
    EXPECT_TRUE(revealShown(5));
    const QPoint below(10, table.rectOfRow(table.numberOfRows() - 1).bottom() + 5);
    table.resize(table.width(), below.y() + 20);
    table.mouseMoved(below);
    EXPECT_TRUE(revealShown(5));
    table.mouseExited();
    EXPECT_FALSE(revealShown(5));

    QTest::mouseClick(&table, Qt::LeftButton, {}, below);
    EXPECT_TRUE(browser->selectedItemDict.isEmpty());
    EXPECT_TRUE(table.selectedRowIndexes().empty());
    QTest::mouseClick(&table, Qt::LeftButton, {}, QPoint(table.width() - 2, table.rectOfRow(1).center().y()));
    EXPECT_EQ(browser->selectedItemDict.size(), 1);
}

TEST_F(RecentBrowserTest, FilesOutsideWhatTheProgramMayReadAreStillThere)
{
    hb::AccessRegistry::resetForTesting();
    cell(rowOf("report.pdf"))->selectFileButton->click();
    browser->showFileButtonAction(cell(rowOf("notes.txt"))->showFileButton);
    EXPECT_EQ(opened, QStringList{env.home() + "/"});
    browser->doneButton->click();
    ASSERT_EQ(chooser.results.size(), 1u);
    EXPECT_EQ(handedOver(), QStringList{"report.pdf"});
    EXPECT_TRUE(alerts.isEmpty());
}

TEST_F(RecentBrowserTest, CloseAsksTheDelegate)
{
    browser->closeButton->click();
    EXPECT_EQ(chooser.closes, 1);
    EXPECT_TRUE(chooser.results.empty());
}

}  // namespace
