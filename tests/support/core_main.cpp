#include <QCoreApplication>

#include <gtest/gtest.h>

// main() for tests of Qt Core objects (timers, processes, serial ports): the
// QCoreApplication lives on main's stack, so it is gone before the program's static
// objects are destroyed.
int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
