#include "platform/interface/Alert.h"

#include "TestEnvironment.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

class PresenterGuard {
public:
    explicit PresenterGuard(hb::Alert::Presenter presenter) { hb::Alert::setPresenter(std::move(presenter)); }
    ~PresenterGuard() { hb::Alert::setPresenter(nullptr); }
};

TEST(Alert, AlertForAnErrorShowsItsDescriptionAndRecoverySuggestion)
{
    hb::Error error{hb::NSCocoaErrorDomain,
                    hb::NSFileWriteNoPermissionError,
                    {{hb::NSLocalizedDescriptionKey, QStringLiteral("Cannot move items")},
                     {hb::NSLocalizedRecoverySuggestionErrorKey, QStringLiteral("Choose another folder.")}}};
    std::vector<hb::Alert> shown;
    int depthWhileShown = -1;
    PresenterGuard guard([&](const hb::Alert& alert) {
        shown.push_back(alert);
        depthWhileShown = hb::Modal::depth();
        return int(hb::NSAlertFirstButtonReturn);
    });

    EXPECT_EQ(hb::Alert::alertWithError(error).runModal(), hb::NSAlertFirstButtonReturn);

    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].messageText, QStringLiteral("Cannot move items"));
    EXPECT_EQ(shown[0].informativeText, QStringLiteral("Choose another folder."));
    EXPECT_TRUE(shown[0].buttons.isEmpty());
    EXPECT_EQ(depthWhileShown, 1);
    EXPECT_EQ(hb::Modal::depth(), 0);
}

// The real dialog: a person presses a button; the answer is that button's place in the order added.
TEST(Alert, RealDialogAnswersThePressedButton)
{
    struct Case {
        QStringList buttons;
        QString pressed;
        int expected;
    };
    const std::vector<Case> cases{
        {{}, QStringLiteral("OK"), hb::NSAlertFirstButtonReturn},
        {{QStringLiteral("Move"), QStringLiteral("Cancel")}, QStringLiteral("Cancel"), hb::NSAlertSecondButtonReturn},
        {{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")},
         QStringLiteral("C"),
         hb::NSAlertThirdButtonReturn},
    };
    for (const Case& c : cases) {
        hb::Alert alert;
        alert.messageText = QStringLiteral("Question");
        alert.informativeText = QStringLiteral("Details");
        for (const QString& title : c.buttons)
            alert.addButtonWithTitle(title);
        QString seenText;
        QTimer::singleShot(0, [&] {
            waitUntil([] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) != nullptr; });
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            seenText = box->text() + QLatin1Char('|') + box->informativeText();
            for (QAbstractButton* button : box->buttons()) {
                if (button->text() == c.pressed)
                    button->click();
            }
        });
        EXPECT_EQ(alert.runModal(), c.expected) << c.pressed.toStdString();
        EXPECT_EQ(seenText, QStringLiteral("Question|Details"));
    }
}

}  // namespace
