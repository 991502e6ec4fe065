#include <QApplication>

#include <gtest/gtest.h>

// GUI tests need one QApplication for the whole test program.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
