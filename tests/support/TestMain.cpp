#include "app/identity/HarbrillIdentity.h"

#include <QApplication>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

// Each test leaves no window behind: one left shown would be found by a later test of the process (and
// make it pass or fail by the order the tests run in). A window left shown fails the test that left it,
// and is hidden.
class NoWindowLeftBehind : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo&) override
    {
        // What the test deleted later is gone by now.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QStringList left;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (!window->isVisible())
                continue;
            const QString name = !window->accessibleName().isEmpty() ? window->accessibleName()
                                 : !window->windowTitle().isEmpty()  ? window->windowTitle()
                                                                     : window->objectName();
            // A plain frame (a popover's) is known by what it holds.
            const QWidget* shown = window;
            if (window->metaObject() == &QWidget::staticMetaObject)
                if (const QWidget* content = window->findChild<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
                    shown = content;
            left << QStringLiteral("%1 \"%2\"").arg(QString::fromLatin1(shown->metaObject()->className()), name);
            window->hide();
        }
        if (!left.isEmpty())
            ADD_FAILURE() << "windows left shown: " << left.join(QStringLiteral(", ")).toStdString();
    }
};

}  // namespace

// Every test binary runs its tests on the GUI thread of a real application object, so main-queue hops,
// timers and widgets behave as in the program.
int main(int argc, char** argv)
{
    // As the program's own entry point does, before anything else.
    hb::setProgramIdentity(harbrillIdentity());
    Q_INIT_RESOURCE(resources);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new NoWindowLeftBehind);
    return RUN_ALL_TESTS();
}
