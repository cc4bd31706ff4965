#include "app/feedback/CustomFeedbackTextField.h"
#include "app/feedback/CustomTextView.h"
#include "app/feedback/FeedbackScenes.h"
#include "app/feedback/FeedbackViewController.h"

#include "platform/base/MainQueue.h"
#include "platform/interface/Application.h"
#include "platform/vendor/DMFeedbackController.h"

#include "TestEnvironment.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QWindow>

namespace {

// The program registers its scenes at start-up; so does this test program, before any test runs.
[[maybe_unused]] const bool scenesRegistered = (registerFeedbackScenes(), true);

QKeyEvent keyEvent(Qt::Key key, Qt::KeyboardModifiers modifiers, quint32 keysym)
{
    return QKeyEvent(QEvent::KeyPress, key, modifiers, 0, keysym, 0);
}

TEST(FeedbackField, OnlyTheEditKeysWithExactlyTheirModifiersAreTakenOver)
{
    const Qt::KeyboardModifiers control = Qt::ControlModifier;
    const Qt::KeyboardModifiers controlShift = Qt::ControlModifier | Qt::ShiftModifier;
    const struct {
        const char* keys;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        quint32 keysym;  // the character typed; 0: none given by the window system
        bool handled;
    } cases[] = {
        {"Control-x", Qt::Key_X, control, 'x', true},
        {"Control-c", Qt::Key_C, control, 'c', true},
        {"Control-v", Qt::Key_V, control, 'v', true},
        {"Control-z", Qt::Key_Z, control, 'z', true},
        {"Control-a", Qt::Key_A, control, 'a', true},
        {"Control-Shift-Z", Qt::Key_Z, controlShift, 'Z', true},
        {"Control-Shift-Z without keysym", Qt::Key_Z, controlShift, 0, true},
        {"Control-Shift-z (Caps Lock)", Qt::Key_Z, controlShift, 'z', false},
        {"Control-Z (Caps Lock)", Qt::Key_Z, control, 'Z', false},
        {"Control-Alt-x", Qt::Key_X, control | Qt::AltModifier, 'x', false},
        {"Control-Meta-c", Qt::Key_C, control | Qt::MetaModifier, 'c', false},
        {"Control-Shift-x", Qt::Key_X, controlShift, 'X', false},
        {"x", Qt::Key_X, Qt::NoModifier, 'x', false},
        {"Control-y", Qt::Key_Y, control, 'y', false},
    };
    CustomFeedbackTextField field;
    for (const auto& keys : cases) {
        QKeyEvent event = keyEvent(keys.key, keys.modifiers, keys.keysym);
        EXPECT_EQ(field.performKeyEquivalent(&event), keys.handled) << keys.keys;
    }
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_X, control, 0, 'x', 0);
    EXPECT_FALSE(field.performKeyEquivalent(&release));
}

TEST(FeedbackField, TheEditKeysGoToTheFocusedControl)
{
    QWidget window;
    auto* field = new CustomFeedbackTextField(&window);
    auto* focused = new QLineEdit(&window);
    window.show();
    QApplication::setActiveWindow(&window);
    focused->setFocus();
    ASSERT_TRUE(waitUntil([&] { return focused->hasFocus(); }));
    field->setText("field");
    focused->setText("hello");

    const auto press = [&](Qt::Key key, Qt::KeyboardModifiers modifiers, quint32 keysym) {
        QKeyEvent event = keyEvent(key, modifiers, keysym);
        QApplication::sendEvent(field, &event);
    };
    press(Qt::Key_A, Qt::ControlModifier, 'a');
    EXPECT_EQ(focused->selectedText(), "hello");
    press(Qt::Key_X, Qt::ControlModifier, 'x');
    EXPECT_EQ(focused->text(), "");
    EXPECT_EQ(QApplication::clipboard()->text(), "hello");
    press(Qt::Key_V, Qt::ControlModifier, 'v');
    press(Qt::Key_V, Qt::ControlModifier, 'v');
    EXPECT_EQ(focused->text(), "hellohello");
    press(Qt::Key_Z, Qt::ControlModifier, 'z');
    EXPECT_EQ(focused->text(), "hello");
    press(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier, 'Z');
    EXPECT_EQ(focused->text(), "hellohello");
    EXPECT_EQ(field->text(), "field");
}

TEST(FeedbackMessage, ThePlaceholderShowsWhileTheMessageIsEmpty)
{
    CustomTextView view;
    EXPECT_EQ(view.placeHolderString, " Write your message here...");
    EXPECT_EQ(view.placeHolderColor, QColor::fromRgbF(1, 1, 1, 0.3f));
    view.setStyleSheet("background: black; color: white;");
    view.resize(300, 80);
    view.show();
    // The placeholder's right part, well clear of a single typed character.
    const auto placeholderDrawn = [&] {
        const QImage image = view.viewport()->grab().toImage();
        for (int x = 80; x < 180; ++x)
            for (int y = 2; y < 24; ++y)
                if (qGray(image.pixel(x, y)) > 40)
                    return true;
        return false;
    };
    EXPECT_TRUE(placeholderDrawn());
    view.insertPlainText("x");
    EXPECT_FALSE(placeholderDrawn());
    view.clear();
    EXPECT_TRUE(placeholderDrawn());
}

class FeedbackFormTest : public HarbrillTest {};

TEST_F(FeedbackFormTest, PlaceholdersAreTakenOverFaintAndAFieldWithoutOneGetsAnEmptyOne)
{
    FeedbackViewController form;
    form.loadViewIfNeeded();
    const QString mailPlaceholder = form.mailTextField->placeholderText();
    ASSERT_FALSE(mailPlaceholder.isEmpty());
    form.nameTextField->setPlaceholderText(QString());
    form.show();
    form.completeAppearance();

    EXPECT_EQ(form.namePlaceholder, "");
    EXPECT_EQ(form.nameTextField->placeholderText(), "");
    EXPECT_EQ(form.mailPlaceholder, mailPlaceholder);
    EXPECT_EQ(form.mailTextField->placeholderText(), mailPlaceholder);
    for (CustomFeedbackTextField* field : {form.nameTextField.data(), form.mailTextField.data()})
        EXPECT_EQ(field->palette().color(QPalette::PlaceholderText), QColor::fromRgbF(1, 1, 1, 0.3f));
}

TEST_F(FeedbackFormTest, TheCloseButtonEndsTheModalRunAndClosesTheWindow)
{
    std::unique_ptr<DMFeedbackController> controller = DMFeedbackController::withWindowNibName("FeedbackWindow");
    ASSERT_TRUE(controller);
    bool visibleWhileRunning = false;
    hb::MainQueue::async([&] {
        visibleWhileRunning = controller->window()->isVisible();
        controller->window()->findChild<QPushButton*>("closeButton")->click();
    });
    std::optional<bool> sent;
    controller->showFeedbackWindowInMode(DMFeedbackDefaultMode, [&](bool result) { sent = result; });
    EXPECT_TRUE(visibleWhileRunning);
    EXPECT_EQ(sent, false);
    EXPECT_FALSE(controller->window()->isVisible());
}

TEST_F(FeedbackFormTest, TheWindowOpensBesideTheMainWindowAsItsDialog)
{
    hb::Window main;
    main.setGeometry(40, 40, 300, 400);
    main.show();
    hb::Application::shared().setMainWindow(&main);
    const auto restore = qScopeGuard([] { hb::Application::shared().setMainWindow(nullptr); });
    std::unique_ptr<DMFeedbackController> controller = DMFeedbackController::withWindowNibName("FeedbackWindow");
    ASSERT_TRUE(controller);
    QRect frame;
    const QWindow* transientParent = nullptr;
    hb::MainQueue::async([&] {
        frame = controller->window()->frameGeometry();
        transientParent = controller->window()->windowHandle()->transientParent();
        controller->window()->findChild<QPushButton*>("closeButton")->click();
    });
    controller->showFeedbackWindowInMode(DMFeedbackDefaultMode, {});
    EXPECT_EQ(frame.left(), main.frameGeometry().right() + 13);
    EXPECT_EQ(frame.top(), main.frameGeometry().top());
    EXPECT_EQ(transientParent, main.windowHandle());
}

}  // namespace
