#include "platform/interface/SharingService.h"
#include "platform/interface/Workspace.h"

#include <QUrlQuery>

#include <gtest/gtest.h>

namespace {

class SharingServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        hb::Workspace::setOpener([this](const QUrl& url) {
            opened << url;
            return answer;
        });
    }
    void TearDown() override { hb::Workspace::setOpener(nullptr); }

    static hb::SharingService composeEmail(const QStringList& recipients, const QString& subject)
    {
        std::optional<hb::SharingService> service = hb::SharingService::sharingServiceNamed(
            hb::NSSharingServiceNameComposeEmail);
        EXPECT_TRUE(service);
        service->recipients = recipients;
        service->subject = subject;
        return *service;
    }

    QList<QUrl> opened;
    bool answer = true;
};

TEST_F(SharingServiceTest, OpensOneEncodedMailtoURLAndPassesOnWhetherItOpened)
{
    EXPECT_TRUE(composeEmail({"support@mirelda.com"}, "Need Harbrill help").perform());
    answer = false;
    EXPECT_FALSE(composeEmail({"support@mirelda.com"}, {}).perform());
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened[0].toString(QUrl::FullyEncoded), "mailto:support@mirelda.com?subject=Need%20Harbrill%20help");
    EXPECT_EQ(opened[1].toString(QUrl::FullyEncoded), "mailto:support@mirelda.com");
    EXPECT_FALSE(hb::SharingService::sharingServiceNamed("com.apple.share.AirDrop"));
}

TEST_F(SharingServiceTest, DelimitersInAddressesAndSubjectReachTheMailProgramUnchanged)
{
    struct Case {
        QStringList recipients;
        QString subject;
    };
    const Case cases[] = {
        {{"a+tag@x.org", "b@y.org"}, "Tom & Jerry?=#1 100% + more"},
        {{"odd,name@x.org"}, "line\nbreak"},
        {{"o'brien@x.org"}, QString::fromUtf8("Café: ünïcödé ✓")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.subject.toStdString());
        const QUrl url = composeEmail(c.recipients, c.subject).mailtoURL();
        const QString encoded = url.toString(QUrl::FullyEncoded);
        EXPECT_FALSE(encoded.contains(' ')) << encoded.toStdString();
        EXPECT_EQ(encoded.count('?'), 1) << encoded.toStdString();
        EXPECT_FALSE(encoded.contains('+')) << "some mail programs read + as a space: " << encoded.toStdString();
        // A mail program splits the addresses at commas, then decodes each.
        QStringList addresses;
        for (const QString& part : url.path(QUrl::FullyEncoded).split(','))
            addresses << QUrl::fromPercentEncoding(part.toUtf8());
        EXPECT_EQ(addresses, c.recipients);
        EXPECT_EQ(QUrlQuery(url).queryItemValue("subject", QUrl::FullyDecoded), c.subject);
        EXPECT_EQ(QUrlQuery(url).queryItems().size(), 1);
    }
}

}  // namespace
