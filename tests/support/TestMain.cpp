#include <QCoreApplication>
#ifdef QM_TEST_WIDGETS
#include <QApplication>
#endif
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
#ifdef QM_TEST_WIDGETS
    // Widget tests never need a display, listing them included.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
