#include <QApplication>

#include <gtest/gtest.h>

// The widgets need one QApplication, which must be gone before the program's static
// objects are destroyed: it lives on main's stack. Offscreen unless told otherwise,
// also when the test runner only lists the tests.
int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
