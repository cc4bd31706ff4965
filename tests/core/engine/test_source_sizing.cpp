#include "ShiftFixture.h"

#include "core/engine/HBSourceSizing.h"

// Sizing runs on the shift's own thread and a cancellation must be able to end it between sources.
class SourceSizing : public ShiftFixture {};

TEST_F(SourceSizing, StopsBetweenSourcesWhenAsked)
{
    file("src/a", QByteArray(100, 'a'));
    file("src/tree/b", QByteArray(50, 'b'));
    file("src/tree/c", QByteArray(7, 'c'));
    file("src/d", QByteArray(3, 'd'));
    folder("dst");
    const QList<hb::URL> sources{url("src/a"), url("src/tree"), url("src/d")};
    struct Case {
        int allowed;  // answers before the stop; folders are sized after the files, each asked about again
        std::uint64_t size;
        std::uint64_t count;
        bool stopped;
    };
    for (const Case c : {Case{0, 0, 0, true}, Case{1, 100, 1, true}, Case{2, 100, 1, true}, Case{3, 103, 2, true},
                         Case{4, 160, 4, false}}) {
        int asked = 0;
        ShiftScopes scopes;
        const SourceTotals totals = HBSourceSizing::measure(sources, ShiftDestinations::intoFolder(url("dst")), false,
                                                            scopes, [&] { return asked++ >= c.allowed; });
        EXPECT_EQ(totals.size, c.size) << c.allowed;
        EXPECT_EQ(totals.count, c.count) << c.allowed;
        EXPECT_EQ(totals.stopped, c.stopped) << c.allowed;
        EXPECT_FALSE(hb::AccessRegistry::hasAccess(path("src"))) << "a scope was left open";
    }
}

TEST_F(SourceSizing, TellsTheLoopWhatItReadOfEachSource)
{
    file("src/a", "a");
    folder("src/tree");
    folder("dst");
    const QList<hb::URL> sources{url("src/a"), url("src/tree"), url("src/missing")};
    ShiftScopes scopes;
    const SourceTotals moved = HBSourceSizing::measure(sources, ShiftDestinations::intoFolder(url("dst")), false,
                                                       scopes, [] { return false; });
    ASSERT_EQ(moved.facts.size(), 3u);
    EXPECT_EQ(moved.facts[0], sourceFactKnown);  // same volume, not locked: renamed
    EXPECT_EQ(moved.facts[1], sourceFactKnown);
    EXPECT_EQ(moved.facts[2], 0);  // unknown: the loop reads it itself
    EXPECT_EQ(moved.sizeToCopy, 0u);

    const SourceTotals copied = HBSourceSizing::measure(sources, ShiftDestinations::intoFolder(url("dst")), true,
                                                        scopes, [] { return false; });
    EXPECT_EQ(copied.facts[0], sourceFactKnown | sourceFactCopied);
    EXPECT_EQ(copied.sizeToCopy, 1u);
}
