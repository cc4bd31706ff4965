#include "core/engine/HBOperationKeys.h"
#include "core/engine/HBProgressDataSource.h"
#include "mainwindow/progress/HBFileConflictCellView.h"
#include "mainwindow/progress/HBProgressTableViewCell.h"
#include "mainwindow/progress/HBProgressViewController.h"
#include "mainwindow/progress/HBProgressWindowController.h"
#include "mainwindow/progress/Scroller.h"
#include "platform/interface/Application.h"
#include "platform/interface/WrappingLabel.h"

#include "TestEnvironment.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QCheckBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <QWindow>

#include <gtest/gtest.h>

#include <map>

namespace {

// Stands in for the operations manager: a key list, a progress record per operation, the answers.
class FakeOperations : public HBProgressDataSource {
public:
    struct Answer {
        std::int64_t identifier;
        Instruction instruction;
        bool applyToAll;
        bool operator==(const Answer&) const = default;
    };

    HBOperationKeys keys;
    std::map<std::int64_t, ProgressData> records;
    std::vector<Answer> answers;

    void add(std::int64_t identifier, const ProgressData& progress)
    {
        records[identifier] = progress;
        keys.insertKey(identifier);
    }

    std::int64_t numberOfRows() const override { return keys.count(); }
    std::int64_t identifierAtRow(std::int64_t row) const override { return keys.key(row); }
    std::optional<ProgressData> progress(std::int64_t identifier) const override
    {
        const auto found = records.find(identifier);
        return found == records.end() ? std::nullopt : std::optional<ProgressData>(found->second);
    }
    void applyRule(std::int64_t identifier, Instruction instruction, bool applyToAll) override
    {
        answers.push_back({identifier, instruction, applyToAll});
    }
};

ProgressData copying(const QString& name, const QString& folder, std::uint64_t total, std::uint64_t completed)
{
    ProgressData progress;
    progress.operationState = OperationState::running;
    progress.fileAction = Action::copy;
    progress.numberOfSource = 1;
    progress.totalCountOfFiles = 1;
    progress.totalSizeOfFiles = total;
    progress.completedSizeOfFiles = completed;
    progress.currentFileURL = hb::URL::fileURLWithPath(QStringLiteral("/home/ann/") + name);
    progress.currentDestinationURL = hb::URL::fileURLWithPath(QStringLiteral("/home/ann/") + folder + QLatin1Char('/')
                                                              + name);
    return progress;
}

ProgressData conflict(Action action, std::int64_t sources, std::uint64_t files,
                      const QString& name = QStringLiteral("a.txt"))
{
    ProgressData progress = copying(name, QStringLiteral("Documents"), 100, 0);
    progress.operationState = OperationState::waitingForInstruction;
    progress.fileAction = action;
    progress.numberOfSource = sources;
    progress.totalCountOfFiles = files;
    return progress;
}

class ProgressWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::optional<hb::Storyboard> storyboard = hb::Storyboard::storyboardWithName(
            QStringLiteral("HBProgress"));
        ASSERT_TRUE(storyboard);
        window = storyboard->instantiateController<HBProgressWindowController>(QStringLiteral("EntryPoint"));
        ASSERT_NE(window, nullptr);
        list = window->getViewController();
        ASSERT_NE(list, nullptr);
        list->setDataSource(&operations);
    }

    void showAll()
    {
        window->showWindow();
        list->reloadData(std::nullopt, true);
    }

    // The window takes the list's height once the posted layout requests have run.
    bool windowFitsList() const
    {
        return waitUntil([&] { return window->window()->height() == list->scrollView()->height(); }, 2000);
    }

    template <class Cell>
    Cell* cell(std::int64_t row) const
    {
        return qobject_cast<Cell*>(list->tableView()->viewAtRow(row));
    }

    FakeOperations operations;
    std::unique_ptr<HBProgressWindowController> window;
    HBProgressViewController* list = nullptr;
};

TEST_F(ProgressWindowTest, TheWindowOpensBesideTheMainWindowAsItsDialog)
{
    hb::Window main;
    main.setGeometry(40, 40, 300, 400);
    main.show();
    hb::Application::shared().setMainWindow(&main);
    const auto restore = qScopeGuard([] { hb::Application::shared().setMainWindow(nullptr); });
    operations.add(1, conflict(Action::copy, 1, 1));
    showAll();
    hb::Window* shown = window->window();
    EXPECT_EQ(shown->frameGeometry().left(), main.frameGeometry().right() + 13);
    EXPECT_EQ(shown->frameGeometry().top(), main.frameGeometry().top());
    ASSERT_TRUE(shown->windowHandle());
    EXPECT_EQ(shown->windowHandle()->transientParent(), main.windowHandle());
}

TEST_F(ProgressWindowTest, WindowHasNoTitleAndNoRowsWithoutAManager)
{
    list->setDataSource(nullptr);
    window->showWindow();
    list->reloadData(std::nullopt, true);
    EXPECT_TRUE(window->window()->windowTitle().isEmpty());
    EXPECT_TRUE(window->window()->movableByWindowBackground);
    EXPECT_EQ(list->tableView()->numberOfRows(), 0);
    EXPECT_EQ(list->scrollView()->height(), 0);
}

TEST_F(ProgressWindowTest, ProgressRowShowsWhatIsCopiedWhereAndHowFar)
{
    operations.add(7, copying(QStringLiteral("report.pdf"), QStringLiteral("Documents"), 400, 100));
    showAll();

    auto* row = cell<HBProgressTableViewCell>(0);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->status()->text(), QStringLiteral("Copying \"report.pdf\" to \"Documents\""));
    EXPECT_EQ(row->progressBar()->value(), 25);
    EXPECT_TRUE(row->divider()->isHidden());  // the only row

    // A record without a total size leaves the bar where it was.
    operations.records[7].totalSizeOfFiles = 0;
    list->reloadData(QList<std::int64_t>{0}, false);
    EXPECT_EQ(cell<HBProgressTableViewCell>(0)->progressBar()->value(), 25);

    // A file that grew while copied fills the bar, no more.
    operations.records[7].totalSizeOfFiles = 100;
    operations.records[7].completedSizeOfFiles = 150;
    list->reloadData(QList<std::int64_t>{0}, false);
    EXPECT_EQ(cell<HBProgressTableViewCell>(0)->progressBar()->value(), 100);
}

TEST_F(ProgressWindowTest, DividersShowOnlyWhenThereIsMoreThanOneRow)
{
    operations.add(1, copying(QStringLiteral("a"), QStringLiteral("B"), 10, 1));
    operations.add(2, conflict(Action::copy, 2, 2));
    showAll();
    ASSERT_NE(cell<HBFileConflictCellView>(0), nullptr);
    ASSERT_NE(cell<HBProgressTableViewCell>(1), nullptr);
    EXPECT_FALSE(cell<HBFileConflictCellView>(0)->divider()->isHidden());
    EXPECT_FALSE(cell<HBProgressTableViewCell>(1)->divider()->isHidden());
}

TEST_F(ProgressWindowTest, ConflictRowOffersTheAnswersThatFitTheOperation)
{
    struct Case {
        const char* name;
        Action action;
        std::int64_t sources;
        std::optional<Rule> rule;
        bool skipShown;
        bool applyToAllShown;
        bool applyToAllOn;
    };
    const std::vector<Case> cases{
        {"move of several", Action::move, 3, std::nullopt, false, true, false},
        {"copy of one", Action::copy, 1, std::nullopt, false, false, true},
        {"copy of several", Action::copy, 3, std::nullopt, true, true, false},
        {"copy of several, rule for all", Action::copy, 3, Rule{Instruction::skip, true}, true, true, true},
        {"move of one", Action::move, 1, Rule{Instruction::replace, false}, false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        operations.records.clear();
        operations.keys.removeKey(5);
        ProgressData progress = conflict(c.action, c.sources, 4, QStringLiteral("photo.jpg"));
        progress.fileShiftRule = c.rule;
        operations.add(5, progress);
        showAll();

        auto* row = cell<HBFileConflictCellView>(0);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->status()->text(),
                  QStringLiteral("File \"photo.jpg\" exists in \"Documents\". What do you want to do?"));
        EXPECT_EQ(row->keepBoth()->text(), QStringLiteral("Keep Both"));
        EXPECT_TRUE(row->keepBoth()->isVisible());
        EXPECT_TRUE(row->replace()->isVisible());
        EXPECT_TRUE(row->stop()->isVisible());
        EXPECT_EQ(row->skip()->isVisible(), c.skipShown);
        EXPECT_EQ(row->applyToAll()->isVisible(), c.applyToAllShown);
        EXPECT_EQ(row->applyToAll()->isChecked(), c.applyToAllOn);
    }
}

TEST_F(ProgressWindowTest, ClickedConflictButtonsAnswerTheRowsOperation)
{
    operations.add(11, conflict(Action::copy, 3, 3));
    operations.add(12, conflict(Action::copy, 3, 3));  // row 0
    showAll();
    auto* row = cell<HBFileConflictCellView>(1);
    ASSERT_NE(row, nullptr);

    const QPoint checkBox(5, row->applyToAll()->height() / 2);
    QTest::mouseClick(row->keepBoth(), Qt::LeftButton);
    QTest::mouseClick(row->applyToAll(), Qt::LeftButton, {}, checkBox);
    QTest::mouseClick(row->replace(), Qt::LeftButton);
    QTest::mouseClick(row->skip(), Qt::LeftButton);
    QTest::mouseClick(row->applyToAll(), Qt::LeftButton, {}, checkBox);
    QTest::mouseClick(row->stop(), Qt::LeftButton);

    using A = FakeOperations::Answer;
    EXPECT_EQ(operations.answers, (std::vector<A>{{11, Instruction::keepBoth, false},
                                                  {11, Instruction::replace, true},
                                                  {11, Instruction::skip, true},
                                                  {11, Instruction::stop, true}}));
}

TEST_F(ProgressWindowTest, ACopyOfOneItemAnswersForAll)
{
    operations.add(3, conflict(Action::copy, 1, 1));
    showAll();
    QTest::mouseClick(cell<HBFileConflictCellView>(0)->replace(), Qt::LeftButton);
    ASSERT_EQ(operations.answers.size(), 1u);
    EXPECT_EQ(operations.answers[0], (FakeOperations::Answer{3, Instruction::replace, true}));
}

TEST_F(ProgressWindowTest, CloseButtonStopsTheRowsOperation)
{
    operations.add(21, copying(QStringLiteral("big.iso"), QStringLiteral("Backup"), 100, 10));
    operations.add(22, copying(QStringLiteral("other.iso"), QStringLiteral("Backup"), 100, 10));
    showAll();
    QTest::mouseClick(cell<HBProgressTableViewCell>(1)->close(), Qt::LeftButton);
    ASSERT_EQ(operations.answers.size(), 1u);
    EXPECT_EQ(operations.answers[0], (FakeOperations::Answer{21, Instruction::stop, true}));
}

TEST_F(ProgressWindowTest, AStaleConflictRowOnlyStops)
{
    operations.add(4, conflict(Action::copy, 3, 3));
    showAll();
    auto* row = cell<HBFileConflictCellView>(0);
    operations.records[4].operationState = OperationState::running;  // answered, resumed

    QTest::mouseClick(row->skip(), Qt::LeftButton);
    QTest::mouseClick(row->keepBoth(), Qt::LeftButton);
    QTest::mouseClick(row->stop(), Qt::LeftButton);

    ASSERT_EQ(operations.answers.size(), 1u);
    EXPECT_EQ(operations.answers[0].instruction, Instruction::stop);
}

TEST_F(ProgressWindowTest, RowViewsWithoutADelegateIgnoreTheirButtons)
{
    HBFileConflictCellView conflictRow;
    HBProgressTableViewCell progressRow;
    conflictRow.show();
    progressRow.show();
    QTest::mouseClick(conflictRow.replace(), Qt::LeftButton);
    QTest::mouseClick(progressRow.close(), Qt::LeftButton);
    EXPECT_TRUE(operations.answers.empty());
}

// Each row, as it stands in the window, shows the whole of its text, and a text of more lines makes its
// row taller by just those lines.
TEST_F(ProgressWindowTest, RowHeightsFollowTheMeasuredText)
{
    const QString longName = QString(120, QLatin1Char('x')) + QStringLiteral(".txt");
    struct Case {
        const char* name;
        ProgressData progress;
    };
    const std::vector<Case> cases{
        {"progress", copying(QStringLiteral("a.txt"), QStringLiteral("Documents"), 10, 1)},
        {"progress of a long name", copying(longName, QStringLiteral("Documents"), 10, 1)},
        {"conflict of one file", conflict(Action::copy, 1, 1)},
        {"conflict of a long name", conflict(Action::copy, 1, 1, longName)},
        {"conflict of several files in one folder", conflict(Action::move, 1, 9)},
        {"conflict of several sources", conflict(Action::copy, 3, 3)},
    };
    std::map<std::string, std::pair<int, int>> measured;  // row height, and what its text needs
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        operations.records.clear();
        operations.keys.removeKey(1);
        operations.add(1, c.progress);
        showAll();
        QWidget* row = list->tableView()->viewAtRow(0);
        ASSERT_NE(row, nullptr);
        const hb::WrappingLabel* label = row->findChild<hb::WrappingLabel*>(QStringLiteral("status"));
        ASSERT_NE(label, nullptr);
        ASSERT_TRUE(waitUntil([&] { return row->height() == list->tableView()->rectOfRow(0).height(); }, 2000));
        const int needed = label->heightForWidth(label->width());
        EXPECT_GE(label->height(), needed) << "the text is cut off";
        EXPECT_LE(label->mapTo(row, QPoint(0, label->height())).y(), row->height()) << "the label runs out of its row";
        measured[c.name] = {row->height(), needed};
    }
    for (const auto& [longer, shorter] : {std::pair{"progress of a long name", "progress"},
                                          std::pair{"conflict of a long name", "conflict of one file"}}) {
        const auto [longRow, longText] = measured[longer];
        const auto [shortRow, shortText] = measured[shorter];
        EXPECT_GT(longText, 2 * shortText) << longer << ": a name too long for a line breaks inside itself";
        EXPECT_NEAR(longRow - shortRow, longText - shortText, 1) << longer;
    }
}

TEST_F(ProgressWindowTest, TheListGrowsWithItsRowsUpTo600AndThenScrolls)
{
    operations.add(1, copying(QStringLiteral("one"), QStringLiteral("F"), 10, 1));
    showAll();
    const int oneRow = list->tableView()->rectOfRow(0).height();
    EXPECT_EQ(oneRow, qRound(HBProgressViewController::rowHeight(operations.records[1])));
    EXPECT_EQ(list->scrollView()->height(), oneRow);
    EXPECT_TRUE(windowFitsList());

    for (std::int64_t identifier = 2; identifier <= 20; ++identifier)
        operations.add(identifier, conflict(Action::copy, 3, 3));
    list->reloadData(std::nullopt, true);

    EXPECT_EQ(list->scrollView()->height(), 600);
    EXPECT_TRUE(windowFitsList());
    EXPECT_GT(list->scrollView()->verticalScrollBar()->maximum(), 0);
    // The bar lies over the rows: they keep the full width they were measured for.
    EXPECT_EQ(list->tableView()->width(), list->scrollView()->width());
}

TEST_F(ProgressWindowTest, RowReloadsRefreshOnlyWhatIsAsked)
{
    operations.add(1, copying(QStringLiteral("one"), QStringLiteral("F"), 100, 10));
    showAll();
    const int height = list->scrollView()->height();

    // No rows given: nothing at all happens, not even a height update.
    operations.records[1].completedSizeOfFiles = 50;
    operations.add(2, copying(QStringLiteral("two"), QStringLiteral("F"), 100, 10));
    list->reloadData(std::nullopt, false);
    EXPECT_EQ(list->scrollView()->height(), height);

    // The new row 0 is not in the table yet; a full reload brings both.
    list->reloadData(std::nullopt, true);
    EXPECT_EQ(cell<HBProgressTableViewCell>(1)->progressBar()->value(), 50);

    // A conflict replaces a progress row in place and the list grows by the difference.
    operations.records[1] = conflict(Action::copy, 3, 3);
    list->reloadData(QList<std::int64_t>{1}, false);
    ASSERT_NE(cell<HBFileConflictCellView>(1), nullptr);
    EXPECT_EQ(list->scrollView()->height(),
              list->tableView()->rectOfRow(0).height() + list->tableView()->rectOfRow(1).height());
}

TEST_F(ProgressWindowTest, RowsCannotBeSelected)
{
    operations.add(1, copying(QStringLiteral("one"), QStringLiteral("F"), 100, 10));
    operations.add(2, copying(QStringLiteral("two"), QStringLiteral("F"), 100, 10));
    showAll();
    QTest::mouseClick(list->tableView(), Qt::LeftButton, {}, list->tableView()->rectOfRow(1).center());
    QTest::keyClick(list->tableView(), Qt::Key_Down);
    EXPECT_TRUE(list->tableView()->selectedRowIndexes().empty());
}

TEST_F(ProgressWindowTest, ClosingAndOrderingOutOnlyHideTheWindow)
{
    operations.add(1, conflict(Action::move, 2, 2));
    showAll();
    window->close();
    EXPECT_FALSE(window->isVisible());
    window->showWindow();
    EXPECT_TRUE(window->isVisible());
    window->orderOut();
    EXPECT_FALSE(window->isVisible());
    EXPECT_NE(window->getViewController(), nullptr);
}

// A screen reader reads each row as it is shown: the bar is named after what it measures, the status
// and the conflict question are text of their own, and both follow the row as it changes.
TEST_F(ProgressWindowTest, ScreenReadersReadTheRowsTextAndWhatTheBarMeasures)
{
    const auto name = [](QWidget* widget) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
        return accessible ? accessible->text(QAccessible::Name) : QStringLiteral("(not accessible)");
    };
    operations.add(3, copying(QStringLiteral("big.bin"), QStringLiteral("Big"), 400, 100));
    showAll();
    auto* row = cell<HBProgressTableViewCell>(0);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(name(row->progressBar()), QStringLiteral("Copying \"big.bin\" to \"Big\""));
    EXPECT_EQ(name(row->status()), QStringLiteral("Copying \"big.bin\" to \"Big\""));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(row->status())->role(), QAccessible::StaticText);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(row->progressBar())->valueInterface()->currentValue().toInt(), 25);

    operations.records[3] = copying(QStringLiteral("next.bin"), QStringLiteral("Big"), 400, 200);
    list->reloadData(QList<std::int64_t>{0}, false);
    row = cell<HBProgressTableViewCell>(0);
    EXPECT_EQ(name(row->progressBar()), QStringLiteral("Copying \"next.bin\" to \"Big\""));

    operations.records[3] = conflict(Action::copy, 2, 2, QStringLiteral("big.bin"));
    list->reloadData(std::nullopt, true);
    auto* question = cell<HBFileConflictCellView>(0);
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(name(question->status()),
              QStringLiteral("File \"big.bin\" exists in \"Documents\". What do you want to do?"));
    for (QWidget* answer : {static_cast<QWidget*>(question->keepBoth()), static_cast<QWidget*>(question->replace()),
                            static_cast<QWidget*>(question->skip()), static_cast<QWidget*>(question->stop()),
                            static_cast<QWidget*>(question->applyToAll())})
        EXPECT_FALSE(name(answer).isEmpty());
}

}  // namespace
