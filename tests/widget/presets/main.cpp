#include <QApplication>

#include <gtest/gtest.h>

// The widgets need one QApplication, alive while the tests run: it lives on main's
// stack.
int main(int argc, char **argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
