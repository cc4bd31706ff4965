#include "platform/base/Error.h"
#include "platform/base/URL.h"

#include <QDir>

#include <gtest/gtest.h>

#include <cerrno>

using hb::URL;

TEST(URL, NormalisesPaths)
{
    const struct {
        QString input;
        QString path;
    } cases[] = {
        {"/", "/"},
        {"//", "/"},
        {"/a/b/", "/a/b"},
        {"/a//b///c", "/a/b/c"},
        {"/a/./b/.", "/a/b"},
        {"/a/b/../c", "/a/c"},
        {"/a/../..", "/"},
        {"/../a", "/a"},
        {"/a/..b/c..", "/a/..b/c.."},
        {"/tmp/name with space", "/tmp/name with space"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(URL::fileURLWithPath(c.input).path(), c.path) << c.input.toStdString();
    EXPECT_EQ(URL::fileURLWithPath("rel/x").path(), QDir::currentPath() + "/rel/x");
}

TEST(URL, ContainsByWholeComponents)
{
    const struct {
        QString outer;
        QString inner;
        bool contains;
    } cases[] = {
        {"/a/b", "/a/b", true},   {"/a/b", "/a/b/c", true},   {"/a/b", "/a/bc", false},      {"/a/b", "/a", false},
        {"/", "/anything", true}, {"/a/b/", "/a/b/c/", true}, {"/a/b", "/a/b/../bc", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(URL::fileURLWithPath(c.outer).contains(URL::fileURLWithPath(c.inner)), c.contains)
            << c.outer.toStdString() << " " << c.inner.toStdString();
    EXPECT_FALSE(URL().contains(URL::fileURLWithPath("/")));
}

TEST(URL, ComponentsAndExtensions)
{
    const struct {
        QString path;
        QString last;
        QString extension;
        QString withoutExtension;
        QString parent;
    } cases[] = {
        {"/a/b.txt", "b.txt", "txt", "/a/b", "/a"},
        {"/a/b.tar.gz", "b.tar.gz", "gz", "/a/b.tar", "/a"},
        {"/a/.hidden", ".hidden", "", "/a/.hidden", "/a"},
        {"/a/b.", "b.", "", "/a/b.", "/a"},
        {"/a", "a", "", "/a", "/"},
        {"/", "/", "", "/", "/"},
    };
    for (const auto& c : cases) {
        const URL url = URL::fileURLWithPath(c.path);
        EXPECT_EQ(url.lastPathComponent(), c.last) << c.path.toStdString();
        EXPECT_EQ(url.pathExtension(), c.extension) << c.path.toStdString();
        EXPECT_EQ(url.deletingPathExtension().path(), c.withoutExtension) << c.path.toStdString();
        EXPECT_EQ(url.deletingLastPathComponent().path(), c.parent) << c.path.toStdString();
    }
    const URL folder = URL::fileURLWithPath("/a", true);
    EXPECT_EQ(folder.appendingPathComponent("b/../c").path(), "/a/c");
    EXPECT_EQ(folder.appendingPathComponent("x").appendingPathExtension("pdf").path(), "/a/x.pdf");
    EXPECT_EQ(URL::fileURLWithPath("/a/b").pathComponents(), QStringList({"/", "a", "b"}));
}

TEST(URL, ConvertsToAndFromQUrl)
{
    EXPECT_EQ(URL::fileURLWithPath("/tmp/a b/ü#%").absoluteString(), "file:///tmp/a%20b/%C3%BC%23%25");
    EXPECT_EQ(URL::fileURLWithPath("/tmp/dir", true).absoluteString(), "file:///tmp/dir/");
    EXPECT_EQ(URL::fromQUrl(QUrl("file:///tmp/a%20b/../c")).path(), "/tmp/c");
    EXPECT_TRUE(URL::fromQUrl(QUrl("file:///tmp/d/")).hasDirectoryPath());
    EXPECT_TRUE(URL::fromQUrl(QUrl("https://example.org/x")).isEmpty());
    EXPECT_TRUE(URL::fromQUrl(QUrl("relative/x")).isEmpty());
    const URL odd = URL::fileURLWithPath("/tmp/x?y#z");
    EXPECT_EQ(URL::fromQUrl(odd.toQUrl()), odd);
}

TEST(URL, SecurityScopeIsNotInherited)
{
    const URL scoped = URL::fileURLWithPath("/a").withSecurityScope(true);
    EXPECT_TRUE(scoped.isSecurityScoped());
    EXPECT_FALSE(scoped.appendingPathComponent("b").isSecurityScoped());
    EXPECT_FALSE(URL().withSecurityScope(true).isSecurityScoped());
    EXPECT_EQ(scoped, URL::fileURLWithPath("/a"));
}

TEST(Error, MapsErrnoToFileErrors)
{
    const struct {
        int posix;
        bool writing;
        int code;
    } cases[] = {
        {ENOENT, false, hb::NSFileReadNoSuchFileError},   {ENOENT, true, hb::NSFileNoSuchFileError},
        {EACCES, false, hb::NSFileReadNoPermissionError}, {EPERM, true, hb::NSFileWriteNoPermissionError},
        {EEXIST, true, hb::NSFileWriteFileExistsError},   {ENOTEMPTY, true, hb::NSFileWriteFileExistsError},
        {ENOSPC, true, hb::NSFileWriteOutOfSpaceError},   {EROFS, true, hb::NSFileWriteVolumeReadOnlyError},
        {EIO, false, hb::NSFileReadUnknownError},         {EIO, true, hb::NSFileWriteUnknownError},
    };
    for (const auto& c : cases) {
        const hb::Error error = hb::Error::fromErrno(c.posix, "/home/u/Docs/report.txt", c.writing);
        EXPECT_EQ(error.domain, hb::NSCocoaErrorDomain);
        EXPECT_EQ(error.code, c.code) << c.posix << " " << c.writing;
        EXPECT_EQ(error.userInfo.value(hb::NSFilePathErrorKey).toString(), "/home/u/Docs/report.txt");
        EXPECT_EQ(error.userInfo.value(hb::NSUnderlyingErrorKey).toInt(), c.posix);
        EXPECT_TRUE(error.localizedDescription().contains("\u201C/home/u/Docs/report.txt\u201D"))
            << error.localizedDescription().toStdString();
    }
    EXPECT_TRUE(hb::Error::fromErrno(EACCES, "/home/u/Docs/report.txt", true)
                    .localizedDescription()
                    .contains("folder \u201C/home/u/Docs\u201D"));
    EXPECT_TRUE(hb::Error::fromErrno(EIO, "/x", false).localizedDescription().contains("Input/output error"));
    EXPECT_EQ((hb::Error{"File", -777, {}}).localizedDescription(),
              "The operation couldn\u2019t be completed. (File error -777.)");
}
