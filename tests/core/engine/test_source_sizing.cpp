#include "ShiftFixture.h"

#include "core/engine/HBSourceSizing.h"

#include <atomic>

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

// Enough sources to be shared out among several threads: every one is counted once, its fact lands at
// its own position, and a stop asked for part-way through still ends the sizing.
TEST_F(SourceSizing, ManySourcesAddUpAcrossThreads)
{
    constexpr int kSources = 5000;
    QList<hb::URL> sources;
    std::uint64_t bytes = 0;
    for (int i = 0; i < kSources; ++i) {
        const QString name = QStringLiteral("src/%1/f%2").arg(i % 3).arg(i);
        file(name, QByteArray(i % 17, 'x'));
        bytes += std::uint64_t(i % 17);
        sources << url(name);
        if (i % 1000 == 999)
            sources << url(QStringLiteral("src/missing%1").arg(i));
    }
    folder("dst");
    ShiftScopes scopes;
    const SourceTotals totals = HBSourceSizing::measure(sources, ShiftDestinations::intoFolder(url("dst")), false,
                                                        scopes, [] { return false; });
    EXPECT_FALSE(totals.stopped);
    EXPECT_EQ(totals.size, bytes);
    EXPECT_EQ(totals.count, std::uint64_t(sources.size()));
    EXPECT_EQ(totals.sizeToCopy, 0u);
    ASSERT_EQ(totals.facts.size(), std::size_t(sources.size()));
    for (qsizetype i = 0; i < sources.size(); ++i) {
        const bool missing = sources[i].lastPathComponent().startsWith(QStringLiteral("missing"));
        EXPECT_EQ(totals.facts[std::size_t(i)], missing ? 0 : sourceFactKnown) << i;
    }

    std::atomic<int> asked{0};
    const SourceTotals stopped = HBSourceSizing::measure(sources, ShiftDestinations::intoFolder(url("dst")), false,
                                                         scopes, [&] { return asked++ >= 1000; });
    EXPECT_TRUE(stopped.stopped);
    EXPECT_LT(stopped.count, std::uint64_t(sources.size()));
}
