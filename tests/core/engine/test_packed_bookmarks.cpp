#include "core/engine/PackedBookmarks.h"

#include <QByteArray>
#include <QList>

#include <functional>

#include <gtest/gtest.h>

namespace {

// Data shaped like bookmarks of neighbouring items: a shared head, a name and an inode that vary, a
// shared tail and a check sum that differs every time.
QByteArray bookmarkLike(int n, const QByteArray& name)
{
    QByteArray data = "HBBK\x01\x00/home/user/folder/" + name;
    data += QByteArray::number(1000 + n * 7);
    data += QByteArray(40, 'a');
    data += QByteArray::number(n * 2654435761u % 99999989u).rightJustified(8, '0');
    return data;
}

}  // namespace

TEST(PackedBookmarks, EveryEntryComesBackByteForByte)
{
    struct Case {
        const char* label;
        std::function<QByteArray(int)> make;
    };
    const Case cases[] = {
        {"names of one length", [](int n) { return bookmarkLike(n, "f" + QByteArray::number(100000 + n)); }},
        {"names growing in length", [](int n) { return bookmarkLike(n, QByteArray(n % 50, 'x')); }},
        {"shorter than a trailer", [](int n) { return QByteArray(n % 9, char('a' + n % 26)); }},
        {"identical data", [](int) { return QByteArray("same bytes, every time"); }},
        {"empty", [](int) { return QByteArray(); }},
    };
    for (const Case& c : cases) {
        PackedBookmarks packed;
        QList<QByteArray> added;
        for (int n = 0; n < 200; ++n) {  // across several runs of 64
            added << c.make(n);
            packed.append(n * 3, added.last());  // keys with gaps
        }
        ASSERT_EQ(packed.size(), 200) << c.label;
        for (int n = 0; n < 200; ++n) {
            EXPECT_EQ(packed.find(n * 3), added[n]) << c.label << " entry " << n;
            EXPECT_EQ(packed.keyAt(n), n * 3) << c.label;
        }
        EXPECT_FALSE(packed.find(1).has_value()) << c.label;
        EXPECT_FALSE(packed.find(600).has_value()) << c.label;
    }
}

// Reading in order from any position gives what reading each one alone gives.
TEST(PackedBookmarks, UnpacksAnyStretchInOrder)
{
    PackedBookmarks packed;
    for (int n = 0; n < 300; ++n)
        packed.append(n * 2, bookmarkLike(n, "f" + QByteArray::number(n)));
    for (const auto& [from, to] :
         {std::pair{0, 300}, std::pair{1, 2}, std::pair{63, 130}, std::pair{128, 128}, std::pair{250, 300}}) {
        QList<qsizetype> keys;
        packed.unpack(from, to, [&](qsizetype key, const QByteArray& data) {
            keys << key;
            EXPECT_EQ(data, packed.dataAt(key / 2)) << "key " << key;
        });
        ASSERT_EQ(keys.size(), to - from) << from;
        for (qsizetype i = 0; i < keys.size(); ++i)
            EXPECT_EQ(keys[i], (from + i) * 2);
    }
}
