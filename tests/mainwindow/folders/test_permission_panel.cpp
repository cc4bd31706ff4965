#include "TestEnvironment.h"

#include "mainwindow/folders/HBNewFolderOpenPanel.h"
#include "mainwindow/folders/HBPermissionPanel.h"
#include "platform/interface/OpenPanel.h"

namespace {

class FolderPanelsTest : public HarbrillTest {
protected:
    void TearDown() override { hb::OpenPanel::setPresenter(nullptr); }
};

TEST_F(FolderPanelsTest, PermissionPanelOffersOnlyTheDestinationFolderItself)
{
    const QString reports = env.makeFolder("Reports");
    const QString inside = env.makeFolder("Reports/2019");
    const QString beside = env.makeFolder("Reports copy");
    const HBPermissionPanel panel("Reports", hb::URL::fileURLWithPath(reports, true));
    EXPECT_EQ(panel.instructionString, "Add Reports to Harbrill");

    struct Case {
        const char* name;
        std::optional<QString> answer;
        bool granted;
    };
    const Case cases[] = {
        {"the folder itself", reports, true},
        {"a folder inside", inside, false},
        {"a folder beside it", beside, false},
        {"cancel", std::nullopt, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        hb::OpenPanel::setPresenter([&](const hb::OpenPanel& shown) -> std::optional<QList<hb::URL>> {
            EXPECT_EQ(shown.title, "Add Reports");
            EXPECT_EQ(shown.message, "Add Reports to Harbrill");
            EXPECT_EQ(shown.prompt, "Add");
            EXPECT_TRUE(shown.canChooseDirectories);
            EXPECT_FALSE(shown.canChooseFiles);
            EXPECT_FALSE(shown.canCreateDirectories);
            EXPECT_EQ(shown.directoryURL->path(), reports);
            if (!c.answer)
                return std::nullopt;
            return QList<hb::URL>{hb::URL::fileURLWithPath(*c.answer, true)};
        });
        const auto [granted, url] = panel.run();
        EXPECT_EQ(granted, c.granted);
        EXPECT_EQ(url.has_value(), c.granted);
        if (url) {
            EXPECT_EQ(url->path(), reports);
        }
    }
}

class RecordingDelegate : public HBNewFolderOpenPanelDelegate {
public:
    struct Report {
        QList<hb::URL> urls;
        std::optional<QString> action;
        bool addToGrid;
    };
    std::optional<Report> report;
    void openPanelDidEnd(const QList<hb::URL>& urls, const std::optional<QString>& action, bool addToGrid) override
    {
        report = Report{urls, action, addToGrid};
    }
};

TEST_F(FolderPanelsTest, FolderPanelChoosesOneFolderToShiftIntoOrSeveralToAdd)
{
    const QString a = env.makeFolder("a");
    const QString b = env.makeFolder("b");
    struct Case {
        std::optional<QString> action;
        QString title, prompt, message;
        bool multiple;
    };
    const Case cases[] = {
        {"Move", "Move To...", "Move", "Choose/Create a folder to Move contents", false},
        {"Copy", "Copy To...", "Copy", "Choose/Create a folder to Copy contents", false},
        {std::nullopt, "Add To Grid", "Add to Grid", "Add a new folder to your most used folder", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title.toStdString());
        RecordingDelegate delegate;
        hb::OpenPanel::setPresenter([&](const hb::OpenPanel& shown) -> std::optional<QList<hb::URL>> {
            EXPECT_EQ(shown.title, c.title);
            EXPECT_EQ(shown.prompt, c.prompt);
            EXPECT_EQ(shown.message, c.message);
            EXPECT_EQ(shown.allowsMultipleSelection, c.multiple);
            EXPECT_TRUE(shown.canCreateDirectories);
            EXPECT_FALSE(shown.canChooseFiles);
            EXPECT_EQ(shown.directoryURL->path(), a);
            return QList<hb::URL>{hb::URL::fileURLWithPath(b, true)};
        });
        HBNewFolderOpenPanel(delegate).presentPanelWithURL(hb::URL::fileURLWithPath(a, true), c.action);
        ASSERT_TRUE(delegate.report);
        EXPECT_EQ(delegate.report->urls.value(0).path(), b);
        EXPECT_EQ(delegate.report->action, c.action);
        EXPECT_TRUE(delegate.report->addToGrid);

        delegate.report.reset();
        hb::OpenPanel::setPresenter([](const hb::OpenPanel&) { return std::nullopt; });
        HBNewFolderOpenPanel(delegate).presentPanelWithURL(std::nullopt, c.action);
        EXPECT_FALSE(delegate.report) << "a cancelled panel reports nothing";
    }
}

}  // namespace
