// GoogleTest entry for window tests: a QApplication exists while tests run
// (queued signals, QThread), created inside the environment so that test
// discovery (--gtest_list_tests) needs nothing.
#include <QApplication>
#include <gtest/gtest.h>
#include <memory>

namespace {
class CoreEnvironment : public ::testing::Environment {
public:
    CoreEnvironment(int& argc, char** argv) : argc_(argc), argv_(argv) {}
    void SetUp() override { app_ = std::make_unique<QApplication>(argc_, argv_); }
    void TearDown() override { app_.reset(); }

private:
    int& argc_;
    char** argv_;
    std::unique_ptr<QApplication> app_;
};
}  // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new CoreEnvironment(argc, argv));
    return RUN_ALL_TESTS();
}
