// The main function of every GoogleTest program of the project: the settings folder and home
// are private to the run for all of its tests (and removed after it, a failure if they cannot).
#include "support/private_settings.h"

#include <gmock/gmock.h>
#include <memory>

namespace {

class PrivateSettingsForTheRun : public ::testing::Environment {
  public:
    void SetUp() override { settings_ = std::make_unique<kestrune::testing::PrivateSettings>(); }
    void TearDown() override { settings_.reset(); }

  private:
    std::unique_ptr<kestrune::testing::PrivateSettings> settings_;
};

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleMock(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new PrivateSettingsForTheRun);
    return RUN_ALL_TESTS();
}
