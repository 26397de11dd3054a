// One application object for the whole test program, as a program has.
#include <gtest/gtest.h>

#include <memory>

#include "platform/clock/Clock.h"
#include "platform/vcl/Application.h"

namespace {

class VclEnvironment final : public ::testing::Environment {
  public:
    void SetUp() override {
        plat::SetClockSpeed(100);
        application_ = std::make_unique<vcl::TApplication>(argc_, argv_);
        vcl::Application->SetTitle("Form layer test");
    }
    void TearDown() override { application_.reset(); }

  private:
    int argc_ = 1;
    char name_[16] = "vcl_test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<vcl::TApplication> application_;
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new VclEnvironment);

}  // namespace
