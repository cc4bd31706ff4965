#include "TestEnvironment.h"

#include "core/store/HBConstants.h"
#include "mainwindow/status/HBInstallScriptFromTabController.h"
#include "mainwindow/status/HBSourceProtocol.h"
#include "mainwindow/status/HBStatusChooseFolderController.h"
#include "mainwindow/status/HBStatusForSelectFilesController.h"
#include "mainwindow/status/HBStatusTabViewController.h"
#include "platform/base/UserDefaults.h"
#include "platform/interface/LayerAnimation.h"

#include <QAccessible>
#include <QLabel>
#include <QLoggingCategory>
#include <QVariantAnimation>

namespace {

class FakeSource : public HBSourceProtocol {
public:
    std::optional<QList<hb::URL>> urls;
    std::optional<DataSource> source;
    std::optional<QList<hb::URL>> sourceURLs() const override { return urls; }
    std::optional<DataSource> dataSource() const override { return source; }
};

QList<hb::URL> files(const QStringList& names)
{
    QList<hb::URL> urls;
    for (const QString& name : names)
        urls << hb::URL::fileURLWithPath(QStringLiteral("/tmp/held/") + name, false);
    return urls;
}

QStringList logged;
void collect(QtMsgType, const QMessageLogContext&, const QString& message)
{
    logged << message;
}

class StatusTabsTest : public HarbrillTest {
protected:
    StatusTabsTest() { hb::UserDefaults::standard().setBool(scriptInstalledDefaultsKey, true); }

    HBStatusChooseFolderController& chooser() const
    {
        return *qobject_cast<HBStatusChooseFolderController*>(tabs->viewControllerAtIndex(1));
    }

    std::unique_ptr<HBStatusTabViewController> loaded()
    {
        auto controller = std::make_unique<HBStatusTabViewController>();
        controller->loadViewIfNeeded();
        return controller;
    }
    std::unique_ptr<HBStatusTabViewController> tabs = loaded();
    FakeSource source;
};

TEST_F(StatusTabsTest, PanesAreChosenByTheirExactNamesAndAnUnknownNameIsLoggedAndChangesNothing)
{
    QLoggingCategory::setFilterRules(QStringLiteral("harbrill.debug=true"));
    const QtMessageHandler previous = qInstallMessageHandler(collect);
    tabs->delegate = &source;
    const struct {
        QString name;
        qsizetype selected;
    } cases[] = {{QStringLiteral("NoScript"), 2},
                 {QStringLiteral("ChooseFolder"), 1},
                 {QStringLiteral("SelectFiles"), 0},
                 {QStringLiteral("choosefolder"), 0},
                 {QString(), 0}};
    for (const auto& c : cases) {
        logged.clear();
        tabs->updateTab(c.name);
        EXPECT_EQ(tabs->selectedTabViewItemIndex(), c.selected) << c.name.toStdString();
        EXPECT_EQ(logged.contains(QStringLiteral("Unrecognized tab")),
                  c.selected == 0 && c.name != QLatin1String("SelectFiles"))
            << c.name.toStdString();
    }
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules(QString());
}

TEST_F(StatusTabsTest, TheMissingScriptShowsItsTabOnLoading)
{
    hb::UserDefaults::standard().setBool(scriptInstalledDefaultsKey, false);
    EXPECT_EQ(loaded()->selectedTabViewItemIndex(), 2);
    hb::UserDefaults::standard().setBool(scriptInstalledDefaultsKey, true);
    EXPECT_EQ(loaded()->selectedTabViewItemIndex(), 0);
}

TEST_F(StatusTabsTest, ChoosingAFolderRefillsThePaneWithTheCurrentSourceEveryTime)
{
    tabs->delegate = &source;
    source.urls = files({"a.txt", "b.txt"});
    source.source = DataSource::finder;
    tabs->updateTab(HBStatusTabViewController::chooseFolderTab);
    EXPECT_EQ(chooser().fileCountLabel->text(), QStringLiteral("2 selected"));

    source.urls = files({"report.pdf"});
    source.source = DataSource::recentFiles;
    tabs->updateTab(HBStatusTabViewController::chooseFolderTab);
    EXPECT_EQ(chooser().fileCountLabel->text(), QStringLiteral("Recent File: report.pdf"));
    EXPECT_EQ(chooser().sourceURLS, source.urls);

    // Without a delegate the pane is still selected, receives nothing and keeps what it shows.
    tabs->delegate = nullptr;
    tabs->updateTab(HBStatusTabViewController::selectFilesTab);
    tabs->updateTab(HBStatusTabViewController::chooseFolderTab);
    EXPECT_EQ(tabs->selectedTabViewItemIndex(), 1);
    EXPECT_EQ(chooser().fileCountLabel->text(), QStringLiteral("Recent File: report.pdf"));
    EXPECT_EQ(chooser().sourceURLS, std::nullopt);
}

TEST_F(StatusTabsTest, OnlyTheSelectFilesAndNoScriptPanesShake)
{
    const struct {
        QString tab;
        bool shakes;
    } cases[] = {{QStringLiteral("SelectFiles"), true},
                 {QStringLiteral("ChooseFolder"), false},
                 {QStringLiteral("NoScript"), true}};
    for (const auto& c : cases) {
        tabs->updateTab(c.tab);
        QWidget* line = nullptr;
        if (auto* pane = qobject_cast<HBStatusForSelectFilesController*>(tabs->selectedViewController()))
            line = pane->statusLine;
        else if (auto* scriptPane = qobject_cast<HBInstallScriptFromTabController*>(tabs->selectedViewController()))
            line = scriptPane->statusLine;
        else
            line = chooser().statusLine;
        const double x = line->x();
        tabs->shakeStatusLine();
        const QVariantAnimation* shake = hb::LayerAnimation::animationForKey(line, QStringLiteral("position.x"));
        ASSERT_EQ(shake != nullptr, c.shakes) << c.tab.toStdString();
        if (shake) {
            EXPECT_EQ(shake->startValue().toDouble(), x + 10.0);
            EXPECT_EQ(shake->keyValueAt(0.5).toDouble(), x);
            EXPECT_EQ(shake->duration(), 120) << "0.06 s each way";
            EXPECT_EQ(shake->loopCount(), 2);
        }
    }
}

TEST(ChooseFolderPane, TheCountLineNamesOneFileAndCountsSeveralSayingWhenTheyAreRecent)
{
    const struct {
        QStringList names;
        std::optional<DataSource> source;
        QString text;
    } cases[] = {
        {{"report.pdf"}, DataSource::recentFiles, QStringLiteral("Recent File: report.pdf")},
        {{"report.pdf"}, DataSource::finder, QStringLiteral("report.pdf")},
        {{"1", "2", "3", "4", "5", "6", "7"}, DataSource::recentFiles, QStringLiteral("7 recent files selected")},
        {{"1", "2", "3", "4", "5", "6", "7"}, DataSource::finder, QStringLiteral("7 selected")},
        {{"1", "2"}, std::nullopt, QStringLiteral("2 selected")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HBStatusChooseFolderController::fileCountText(files(c.names), c.source), c.text);
}

TEST(ChooseFolderPane, HeldFilesShowTheInstructionAndAnEndlessPulseWhileNoneChangeNothingVisible)
{
    TestEnvironment env;
    HBStatusChooseFolderController pane;
    pane.updateStatus(files({"a", "b", "c"}), DataSource::finder);
    EXPECT_EQ(pane.statusLine->text(), QStringLiteral("Choose a folder above"));
    EXPECT_EQ(pane.subText->text(), QStringLiteral("to move/copy selected items"));
    const QVariantAnimation* pulse = hb::LayerAnimation::animationForKey(pane.fileCountLabel,
                                                                         QStringLiteral("opacity"));
    ASSERT_NE(pulse, nullptr);
    EXPECT_EQ(pulse->loopCount(), -1);
    EXPECT_EQ(pulse->keyValueAt(0.5).toDouble(), 0.3);
    EXPECT_EQ(hb::LayerAnimation::opacity(pane.fileCountLabel), 1.0);

    for (const std::optional<QList<hb::URL>>& none :
         {std::optional<QList<hb::URL>>(), std::optional(QList<hb::URL>())}) {
        pane.updateStatus(none, DataSource::finder);
        EXPECT_EQ(pane.fileCountLabel->text(), QStringLiteral("3 selected"));
        EXPECT_EQ(pane.sourceURLS, none);
    }
}

// A screen reader reads the status lines by what they show, not by what they are for; the second line
// says what a click on the tile pointed at does, and comes back to its own text after.
TEST(ChooseFolderPane, StatusLinesAreReadByTheirTextAndTheSecondLineTakesTheClickHint)
{
    TestEnvironment env;
    HBStatusChooseFolderController pane;
    pane.showClickHint(QStringLiteral("click moves them to \"Music\""));
    pane.updateStatus(files({"a", "b", "c"}), DataSource::finder);
    const auto name = [](QWidget* widget) {
        return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
    };
    EXPECT_EQ(name(pane.fileCountLabel), QStringLiteral("3 selected"));
    EXPECT_EQ(name(pane.statusLine), QStringLiteral("Choose a folder above"));
    EXPECT_EQ(name(pane.subText), QStringLiteral("to move/copy selected items")) << "no hint before files are held";

    pane.showClickHint(QStringLiteral("click copies them to \"USB\", on another drive"));
    EXPECT_EQ(name(pane.subText), QStringLiteral("click copies them to \"USB\", on another drive"));
    pane.showClickHint(QString());
    EXPECT_EQ(name(pane.subText), QStringLiteral("to move/copy selected items"));

    for (auto* other : {static_cast<hb::ViewController*>(new HBStatusForSelectFilesController),
                        static_cast<hb::ViewController*>(new HBInstallScriptFromTabController)}) {
        other->loadViewIfNeeded();
        for (QLabel* label : other->findChildren<QLabel*>())
            EXPECT_EQ(name(label), label->text());
        delete other;
    }
}

}  // namespace
