#include <QApplication>

#include <gtest/gtest.h>

// Every test binary runs its tests on the GUI thread of a real application object, so main-queue hops,
// timers and widgets behave as in the program.
int main(int argc, char** argv)
{
    Q_INIT_RESOURCE(resources);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
