// Runs GoogleTest inside one application object, on the offscreen platform unless a
// display was asked for explicitly (to watch a test under Xvfb).
#include <gtest/gtest.h>

#include "platform/application.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    kormoszi::Application app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
