// The link tests take the locale from the environment, as the program
// does (Qt sets it at start-up): a second run under a comma-decimal
// locale catches any conversion that depends on it.
#include <gtest/gtest.h>

#include <clocale>

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
