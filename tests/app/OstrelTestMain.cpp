// The application object of the window test program.
#include "tests/app/WindowFixture.h"

namespace {

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new apptest::ApplicationEnvironment);

}  // namespace
