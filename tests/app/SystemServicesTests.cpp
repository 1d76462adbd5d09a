#include "AppTestSupport.h"

#include "app/MainWindow.h"

namespace tovik::test {
namespace {

// The program's own services, against real media made by the test fixtures.
class SystemServicesTest : public TAppTest {};

TEST_F(SystemServicesTest, ProbeReadsTheDurationOfARealClipAndRefusesOtherFiles) {
    TMainWindowServices services = TMainWindowServices::System(desktop_);
    ASSERT_TRUE(services.LoadEngineLibraries());
    int64_t durationUs = -1;
    ASSERT_TRUE(services.ProbeSource(MediaFile("clip.avi"), durationUs));
    EXPECT_GE(durationUs, 1'900'000);
    EXPECT_LE(durationUs, 2'200'000);

    const std::string text = temp_.File("notes.avi");
    WriteTextFile(text, "this is no video at all");
    EXPECT_FALSE(services.ProbeSource(text, durationUs));
    EXPECT_FALSE(services.ProbeSource(temp_.File("missing.avi"), durationUs));
}

} // namespace
} // namespace tovik::test
