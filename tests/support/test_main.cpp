// main() of every Windows-side test executable.
#include <gtest/gtest.h>

#include "tests/support/benchutil.h"

int main(int argc, char** argv)
{
    apply_test_environment();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
