// Every test program runs on a fresh console window of its own.
#include <gtest/gtest.h>

#include "support/console.h"

int main(int argc, char** argv) {
    tconsole::PrepareConsole();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
