#include "EngineTestSupport.h"

#include "platform/DynamicLibrary.h"

namespace tovik {
namespace {

class FrameHookTest : public test::EngineOptionsTest {
protected:
    template <typename T> T& Exported(const char* name) {
        std::string error;
        platform::TModuleHandle module = platform::OpenModule(TOVIK_TEST_FRAME_HOOK, error);
        EXPECT_NE(module, nullptr) << error;
        void* symbol = platform::ModuleSymbol(module, name, error);
        EXPECT_NE(symbol, nullptr) << error;
        platform::CloseModule(module); // the engine keeps its own reference
        return *static_cast<T*>(symbol);
    }
    const std::string module_ = TOVIK_TEST_FRAME_HOOK;
};

TEST_F(FrameHookTest, ConfiguredModulesJoinTheChainAndAreReleasedWithTheTask) {
    task_.SetOption("vhook", module_ + " -size 10 top");
    ASSERT_EQ(task_.FrameHooks().size(), 1u);
    EXPECT_NE(task_.FrameHooks()[0].Process, nullptr);
    EXPECT_EQ(Exported<int>("HookArgumentCount"), 4) << "the path counts as the first argument";
    EXPECT_STREQ(&Exported<char>("HookLastArgument"), "top");

    task_.SetOption("vhook", module_ + "|two words");
    EXPECT_EQ(Exported<int>("HookArgumentCount"), 2) << "'|' separates when present";
    EXPECT_STREQ(&Exported<char>("HookLastArgument"), "two words");
    EXPECT_EQ(task_.FrameHooks().size(), 2u);

    const int released = Exported<int>("HookReleaseCount");
    task_.ResetEngine();
    EXPECT_TRUE(task_.FrameHooks().empty());
    EXPECT_EQ(Exported<int>("HookReleaseCount"), released + 2);
}

TEST_F(FrameHookTest, FailuresNameTheModule) {
    const std::string failed = module_ + "|fail";
    EXPECT_EQ(ErrorOf("vhook", failed), "Failed to add video hook function: " + failed);
    EXPECT_TRUE(Logged(TLogLevel::llError, "Failed to Configure " + module_));
    EXPECT_TRUE(task_.FrameHooks().empty());

    EXPECT_EQ(ErrorOf("vhook", "/nonexistent/hook.so"),
              "Failed to add video hook function: /nonexistent/hook.so");
    EXPECT_EQ(ErrorOf("vhook", "libm.so.6"), "Failed to add video hook function: libm.so.6");
    EXPECT_TRUE(Logged(TLogLevel::llError, "Failed to find Process entrypoint in libm.so.6"));
}

} // namespace
} // namespace tovik
