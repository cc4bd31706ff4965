#include "platform/selection/FileURIs.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

using hb::selection::localPathsFromURIList;

TEST(FileURIsTest, ListsGiveEachLocalItemsPathByteForByte)
{
    char host[256] = {};
    ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
    struct Case {
        const char* name;
        std::string list;
        std::vector<std::string> paths;
    };
    const Case cases[] = {
        {"uri-list with comments and CR LF",
         "# copied\r\nfile:///tmp/a%20b\r\nfile://localhost/srv/x\r\n",
         {"/tmp/a b", "/srv/x"}},
        {"the GNOME form's copy line", "copy\nfile:///home/u/one\nfile:///home/u/two", {"/home/u/one", "/home/u/two"}},
        {"cut, and a list ended as a C string", std::string("cut\nfile:///x\0", 13), {"/x"}},
        {"this machine's name as the host", std::string("file://") + host + "/etc/hosts\n", {"/etc/hosts"}},
        {"new lines, quotes, dashes, non-ASCII and bytes that are not UTF-8",
         "file:///d/a%0Ab\nfile:///d/-rf%20'q'%22\nfile:///d/%C3%A9t%C3%A9\nfile:///d/caf%E9\n",
         {"/d/a\nb", "/d/-rf 'q'\"", "/d/\xc3\xa9t\xc3\xa9", "/d/caf\xe9"}},
        {"no local path: trash, shares, archives, searches, other hosts",
         "trash:///a\nsmb://server/share/b\nsftp://host/c\narchive:///d.zip/e\nx-nautilus-search:///\n"
         "recent:///f\nfile://elsewhere.example/g\n",
         {}},
        {"nothing that decodes to a safe absolute path",
         "file:///a%00b\nfile:///bad%2\nfile:///q?x=1\nfile:relative\n",
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(localPathsFromURIList(c.list), c.paths);
    }
}

}  // namespace
