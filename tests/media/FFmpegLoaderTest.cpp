#include "media/FFmpegLoader.h"

#include "media/LibraryBindings.h"
#include "media/LibrarySets.h"
#include "media/MediaLogger.h"
#include "media/SdlBindings.h"
#include "media/UnicodeProtocol.h"
#include "platform/DynamicLibrary.h"
#include "support/TestSupport.h"

#include <atomic>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace tovik {
namespace {

const TLibrarySet kAll = kPlayerLibrarySet + TLibrarySet{TLibraryId::libAVDevice};

class FFmpegLoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
#if defined(__SANITIZE_ADDRESS__)
        // Unloading the system's media libraries drops what their dependencies allocated
        // when loaded (thread pools, tables); that is not ours to free.
        __lsan_disable();
#endif
        FFmpegLoader().UnloadLibs(kAll);
        FFmpegLoader().SetLibraryPath("");
    }
    void TearDown() override {
        FFmpegLoader().SetLibraryPath("");
#if defined(__SANITIZE_ADDRESS__)
        __lsan_enable();
#endif
    }
};

std::string FakeFolder(const char* name) {
    return std::string(TOVIK_FAKE_LIBAV_DIR) + "/" + name;
}

TEST_F(FFmpegLoaderTest, FileNamesAreTheLibrariesSonames) {
    EXPECT_EQ(TFFmpegLoader::LibraryFileName(TLibraryId::libAVCodec), "libavcodec.so.59");
    EXPECT_EQ(TFFmpegLoader::LibraryFileName(TLibraryId::libAVFormat), "libavformat.so.59");
    EXPECT_EQ(TFFmpegLoader::LibraryFileName(TLibraryId::libAVUtil), "libavutil.so.57");
    EXPECT_EQ(TFFmpegLoader::LibraryFileName(TLibraryId::libAVFilter), "libavfilter.so.8");
    EXPECT_EQ(TFFmpegLoader::LibraryFileName(TLibraryId::libSwScale), "libswscale.so.6");
    EXPECT_EQ(TFFmpegLoader::LibraryFileName(TLibraryId::libSwResample), "libswresample.so.4");
    EXPECT_EQ(TFFmpegLoader::LibraryFileName(TLibraryId::libMSVCRT), "libc.so.6");
    EXPECT_EQ(TFFmpegLoader::LibraryFileName(TLibraryId::libSDL), "libSDL2-2.0.so.0");
}

TEST_F(FFmpegLoaderTest, EngineAndPlayerSetsLoadFromTheSystemAndBindTheirEntryPoints) {
    EXPECT_FALSE(EngineLibrariesLoaded());
    EXPECT_EQ(ff::avcodec_open2, nullptr);
    ASSERT_TRUE(FFmpegLoader().LoadLibs(kEngineLibrarySet)) << FFmpegLoader().LastError();
    EXPECT_TRUE(EngineLibrariesLoaded());
    EXPECT_FALSE(FFmpegLoader().LibLoaded(TLibraryId::libSDL));
    EXPECT_FALSE(FFmpegLoader().LibLoaded(TLibraryId::libAVDevice));
    ASSERT_NE(ff::avcodec_open2, nullptr);
    // The bound libraries are the ones the headers describe.
    EXPECT_EQ(ff::avformat_version() >> 16, unsigned(LIBAVFORMAT_VERSION_MAJOR));
    EXPECT_EQ(ff::avcodec_version() >> 16, unsigned(LIBAVCODEC_VERSION_MAJOR));
    EXPECT_NE(ff::avcodec_find_decoder(AV_CODEC_ID_MPEG4), nullptr);
    ASSERT_NE(ff::av_util_version_text, nullptr);
    EXPECT_NE(std::string(ff::av_util_version_text).find("5.1"), std::string::npos);

    ASSERT_TRUE(FFmpegLoader().LoadLibs(kPlayerLibrarySet)) << FFmpegLoader().LastError();
    EXPECT_TRUE(PlayerLibrariesLoaded());
    ASSERT_NE(sdl::SDL_OpenAudioDevice, nullptr);
    SDL_version version{};
    sdl::SDL_GetVersion(&version);
    EXPECT_EQ(version.major, 2);
}

TEST_F(FFmpegLoaderTest, TheFilterLibraryLoadsOnDemandOnceFromAnyThread) {
    std::string error;
    ASSERT_TRUE(LoadEngineCoreLibraries("", error)) << error;
    EXPECT_TRUE(EngineLibrariesLoaded());
    EXPECT_FALSE(FFmpegLoader().LibLoaded(TLibraryId::libAVFilter));
    EXPECT_EQ(ff::avfilter_graph_alloc, nullptr);

    // Conversions running side by side may all build their first filter graph at once.
    std::vector<std::thread> threads;
    std::atomic<int> loaded{0};
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&loaded] {
            std::string threadError;
            if (LoadFilterLibrary(threadError) && ff::avfilter_get_by_name("buffer"))
                ++loaded;
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(loaded.load(), 4);
    EXPECT_TRUE(FFmpegLoader().LibsLoaded(kEngineLibrarySet));

    // A broken filter library fails the conversion that needs it with the loader's text,
    // and leaves the core set as it was.
    FFmpegLoader().UnloadLib(TLibraryId::libAVFilter);
    test::TTempDir folder;
    test::WriteTextFile(folder.File("libavfilter.so.8"), "not a library");
    FFmpegLoader().SetLibraryPath(folder.Path().string());
    EXPECT_FALSE(LoadFilterLibrary(error));
    const std::string expected = "Load library " + folder.File("libavfilter.so.8") + " error: ";
    EXPECT_EQ(error.rfind(expected, 0), 0u) << error;
    EXPECT_TRUE(EngineLibrariesLoaded());
    EXPECT_EQ(ff::avfilter_graph_alloc, nullptr);
}

TEST_F(FFmpegLoaderTest, LoadingTwiceIsHarmlessAndUnloadingClearsEntryPoints) {
    ASSERT_TRUE(FFmpegLoader().LoadLibs(kEngineLibrarySet));
    auto* openBefore = ff::avcodec_open2;
    ASSERT_TRUE(FFmpegLoader().LoadLibs(kEngineLibrarySet));
    EXPECT_EQ(ff::avcodec_open2, openBefore);
    EXPECT_TRUE(UnicodeProtocolRegistered());
    EXPECT_FALSE(RegisterUnicodeProtocol()) << "a second load registers nothing new";

    FFmpegLoader().UnloadLibs(kEngineLibrarySet);
    EXPECT_FALSE(EngineLibrariesLoaded());
    EXPECT_EQ(ff::avcodec_open2, nullptr);
    EXPECT_EQ(ff::av_log_set_callback, nullptr);
    EXPECT_EQ(crt::vsnprintf, nullptr);
    ASSERT_TRUE(FFmpegLoader().LoadLibs(kEngineLibrarySet));
    EXPECT_NE(ff::avcodec_open2, nullptr);
}

TEST_F(FFmpegLoaderTest, ReloadingAvutilReinstallsTheLogCallback) {
    ASSERT_TRUE(FFmpegLoader().LoadLib(TLibraryId::libAVUtil));
    std::vector<std::string> lines;
    LoggerInstance().SetTriggerEventInMainThread(false);
    LoggerInstance().SetOnLog(
        [&](TObject*, uint32_t, TLogLevel, const std::string& line) { lines.push_back(line); });
    ff::av_log_set_callback(ff::av_log_default_callback); // someone took the callback away
    ff::av_log(nullptr, AV_LOG_ERROR, "lost\n");
    EXPECT_TRUE(lines.empty());
    ASSERT_TRUE(FFmpegLoader().LoadLib(TLibraryId::libAVUtil));
    ff::av_log(nullptr, AV_LOG_ERROR, "found\n");
    LoggerInstance().SetOnLog(nullptr);
    LoggerInstance().SetTriggerEventInMainThread(true);
    EXPECT_EQ(lines, std::vector<std::string>{"found"});
}

TEST_F(FFmpegLoaderTest, AMissingExportNamesExportAndFileAndFreesTheModule) {
    const std::string folder = FakeFolder("missing_export");
    FFmpegLoader().SetLibraryPath(folder); // no trailing separator: one is added
    EXPECT_FALSE(FFmpegLoader().LoadLib(TLibraryId::libSwScale));
    EXPECT_EQ(FFmpegLoader().LastError().rfind(
                  "Load function sws_getCoefficients@libswscale.so.6 error: ", 0),
              0u)
        << FFmpegLoader().LastError();
    EXPECT_FALSE(FFmpegLoader().LibLoaded(TLibraryId::libSwScale));
    if (!platform::kClosedModulesStayMapped) {
        EXPECT_FALSE(platform::IsModuleMapped(folder + "/libswscale.so.6"));
    }
    EXPECT_EQ(ff::sws_getContext, nullptr) << "a failed bind leaves nothing bound";
}

TEST_F(FFmpegLoaderTest, AMissingDataExportIsReportedAsAVariable) {
    FFmpegLoader().SetLibraryPath(FakeFolder("missing_data") + "/");
    EXPECT_FALSE(FFmpegLoader().LoadLib(TLibraryId::libAVUtil));
    EXPECT_EQ(FFmpegLoader().LastError().rfind(
                  "Load variable av_util_ffversion@libavutil.so.57 error: ", 0),
              0u)
        << FFmpegLoader().LastError();
    EXPECT_FALSE(FFmpegLoader().LibLoaded(TLibraryId::libAVUtil));
    EXPECT_EQ(ff::av_log, nullptr);
}

TEST_F(FFmpegLoaderTest, PlayerSetWithoutUsableSdlFailsAndLeavesTheWholeSetUnloaded) {
    ASSERT_TRUE(FFmpegLoader().LoadLibs(kEngineLibrarySet)); // as the engine did earlier
    test::TTempDir folder;
    test::WriteTextFile(folder.File("libSDL2-2.0.so.0"), "not a library");
    FFmpegLoader().SetLibraryPath(folder.Path().string());
    EXPECT_FALSE(FFmpegLoader().LoadLibs(kPlayerLibrarySet));
    const std::string expected = "Load library " + folder.File("libSDL2-2.0.so.0") + " error: ";
    EXPECT_EQ(FFmpegLoader().LastError().rfind(expected, 0), 0u) << FFmpegLoader().LastError();
    for (int index = 0; index < kLibraryCount; ++index)
        EXPECT_FALSE(FFmpegLoader().LibLoaded(static_cast<TLibraryId>(index))) << index;
    EXPECT_EQ(ff::avcodec_open2, nullptr);
}

TEST_F(FFmpegLoaderTest, LastErrorSurvivesALaterSuccess) {
    FFmpegLoader().SetLibraryPath(FakeFolder("missing_export"));
    EXPECT_FALSE(FFmpegLoader().LoadLib(TLibraryId::libSwScale));
    const std::string failure = FFmpegLoader().LastError();
    FFmpegLoader().SetLibraryPath("");
    EXPECT_TRUE(FFmpegLoader().LoadLib(TLibraryId::libSwScale));
    EXPECT_EQ(FFmpegLoader().LastError(), failure);
}

TEST_F(FFmpegLoaderTest, AFolderWithoutTheLibraryFallsBackToTheSystemSearch) {
    test::TTempDir empty;
    FFmpegLoader().SetLibraryPath(empty.Path().string());
    EXPECT_TRUE(FFmpegLoader().LoadLibs(kEngineLibrarySet)) << FFmpegLoader().LastError();
}

TEST_F(FFmpegLoaderTest, SetOperations) {
    const TLibrarySet engine = kEngineLibrarySet;
    EXPECT_TRUE(kPlayerLibrarySet.Contains(TLibraryId::libSDL));
    EXPECT_FALSE(engine.Contains(TLibraryId::libSDL));
    EXPECT_FALSE(engine.Contains(TLibraryId::libAVDevice));
    EXPECT_EQ(kPlayerLibrarySet - engine, TLibrarySet{TLibraryId::libSDL});
    EXPECT_EQ(kPlayerLibrarySet * engine, engine);
    EXPECT_TRUE((engine - engine).Empty());
}

} // namespace
} // namespace tovik

namespace tovik {
namespace {

TEST(LibraryFolderTest, BesideTheProgramFirstThenTheInstallationsOwnFolder) {
    test::TTempDir dir;
    const std::string bin = dir.File("prefix/bin");
    std::filesystem::create_directories(bin);
    // Neither exists: the folder beside the program (the system is searched after it).
    EXPECT_EQ(LibraryFolderOf(bin), bin + "/LibAV");
    std::filesystem::create_directories(dir.File("prefix/lib/tovik/LibAV"));
    EXPECT_EQ(LibraryFolderOf(bin), bin + "/../lib/tovik/LibAV");
    std::filesystem::create_directories(bin + "/LibAV");
    EXPECT_EQ(LibraryFolderOf(bin), bin + "/LibAV");
}

} // namespace
} // namespace tovik
