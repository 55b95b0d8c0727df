// The main of every test program: the recorders stand in for the shell's alerts.
#include <gtest/gtest.h>

#include "common/recorders.h"

int main(int argc, char** argv) {
    install_recorders();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
