// The locale comes from the environment, as in the program (Qt sets it at
// start-up); a second run under a comma-decimal locale catches any text
// that depends on it.
#include <gtest/gtest.h>

#include <clocale>

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
