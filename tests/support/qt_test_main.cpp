#include <QApplication>

#include <cstdlib>

#include <gtest/gtest.h>

// GUI tests need one QApplication for the whole test program. They run without a display
// unless one is asked for explicitly.
int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
