#include <QCoreApplication>

#include <gtest/gtest.h>

// The adapters post to and receive from Qt's event loop, so every test runs
// with an application object; the tests spin its loop while they wait.
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
