// The description of one conversion as JSON: what goes in comes out, what is missing keeps
// its reset value, and what is wrong is refused with the place of the fault.
#include "effects/TaskDescription.h"

#include <gtest/gtest.h>

namespace tovik {
namespace {

std::shared_ptr<TWmRec> TextLayer() {
    auto layer = std::make_shared<TWmRec>();
    layer->Kind = TWmRec::kText;
    layer->Text = "Urlaub 2026 — Sommer";
    layer->Font = {"DejaVu Serif", 31, true, false, true, true, 0x00FF8000};
    layer->TextLeft = -12;
    layer->TextTop = 470;
    layer->TextWidth = 200;
    layer->TextHeight = 40;
    layer->TextOpacity = 90;
    layer->BackColor = kSystemColorFlag | 5;
    layer->BackFilled = true;
    layer->StartSecond = 3;
    layer->EndSecond = INT32_MAX;
    return layer;
}

std::shared_ptr<TWmRec> PictureLayer() {
    auto layer = std::make_shared<TWmRec>();
    layer->Kind = TWmRec::kPicture;
    layer->PictureFile = "/home/anna/logo.png";
    layer->PictureLeft = 600;
    layer->PictureTop = 10;
    layer->PictureWidth = 64;
    layer->PictureHeight = 32;
    layer->PictureOpacity = 128;
    layer->StartSecond = 0;
    layer->EndSecond = 9;
    return layer;
}

// A task with no field at its reset value.
TTaskDescription EveryFieldSet() {
    TTaskDescription task;
    TInputOptions& in = task.Input;
    in.FileName = "/media/disc/clip one.avi";
    in.FormatName = "avi";
    in.StartTime = 1'500'000;
    in.ProgramId = 3;
    in.OptionText = "vn=1<CRLF>threads=2";
    TOutputOptions& out = task.Output;
    out.FileName = "/out/clip one_(new).mov";
    out.FormatName = "mov";
    out.PacketSize = 2048;
    out.MuxRate = 10080000;
    out.MuxDelay = 0.7f;
    out.MuxPreload = 0.5f;
    out.AudioCodec = "aac";
    out.AudioPreset = "hq";
    out.DisableAudio = true;
    out.Volume = 512;
    out.AudioChannels = 6;
    out.AudioSampleRate = 48000;
    out.AudioBitRate = 192000;
    out.AudioBitRateTolerance = 4000;
    out.AudioLanguage = "ger";
    out.AudioSync = 1;
    out.AudioTag = "mp4a";
    out.VideoCodec = "libx264";
    out.VideoPreset = "veryfast";
    out.DisableVideo = true;
    out.FrameRate = "29.97";
    out.FrameSize = "640x480";
    out.AspectRatio = "16:9";
    out.CropTop = 8;
    out.CropBottom = 10;
    out.CropLeft = 12;
    out.CropRight = 14;
    out.GopSize = 250;
    out.VideoBitRate = 1500000;
    out.MaxRate = 2000000;
    out.MinRate = 100000;
    out.BitRateTolerance = 50000;
    out.BufferSize = 1835008;
    out.VideoSync = 2;
    out.VideoTag = "avc1";
    out.VideoFilters = "hflip";
    out.VideoLanguage = "eng";
    out.SubtitleCodec = "mov_text";
    out.SubtitlePreset = "x";
    out.DisableSubtitle = true;
    out.SubtitleLanguage = "fre";
    out.InputSync = true;
    out.CopyTimestamps = true;
    out.StartTime = 250'000;
    out.Duration = 2'000'000;
    out.Timestamp = 46000.25;
    out.Year = 2026;
    out.Track = 7;
    out.Title = "Title \"quoted\"\nsecond line";
    out.Author = "Anna";
    out.RightsNote = "(c)";
    out.Comment = "tab\there";
    out.Album = "Album";
    out.Genre = "Home";
    out.Target = kTargetDvd;
    out.TargetNorm = kNormNtsc;
    out.TargetFallbackNorm = kNormNtsc;
    out.CustomHook = true;
    out.Join = true;
    out.OptionText = "g=48";
    task.Effects.Brightness = 300;
    task.Effects.Contrast = -20;
    task.Effects.Saturation = 100;
    task.Effects.Exposure = 40;
    task.Effects.Overlays = {TextLayer(), PictureLayer()};
    return task;
}

TEST(TaskDescriptionTest, EveryFieldComesBackAsWritten) {
    const TTaskDescription task = EveryFieldSet();
    const std::string text = WriteTaskDescription(task);
    const TTaskDescription read = ReadTaskDescription(text);
    EXPECT_EQ(WriteTaskDescription(read), text);
    // Spot checks, so that a field both sides forgot cannot pass unnoticed as equal defaults.
    EXPECT_EQ(read.Input.StartTime, 1'500'000);
    EXPECT_EQ(read.Output.Title, "Title \"quoted\"\nsecond line");
    EXPECT_FLOAT_EQ(read.Output.MuxDelay, 0.7f);
    EXPECT_DOUBLE_EQ(read.Output.Timestamp, 46000.25);
    EXPECT_TRUE(read.Output.Join);
    EXPECT_EQ(read.Output.Target, kTargetDvd);
    EXPECT_EQ(read.Effects.Exposure, 40);
    ASSERT_EQ(read.Effects.Overlays.size(), 2u);
    const TWmRec& text0 = *read.Effects.Overlays[0];
    EXPECT_EQ(text0.Text, "Urlaub 2026 — Sommer");
    EXPECT_EQ(text0.Font.Name, "DejaVu Serif");
    EXPECT_TRUE(text0.Font.StrikeOut);
    EXPECT_EQ(text0.Font.Color, 0x00FF8000u);
    EXPECT_EQ(text0.BackColor, kSystemColorFlag | 5);
    EXPECT_EQ(text0.TextLeft, -12);
    EXPECT_EQ(text0.EndSecond, INT32_MAX);
    const TWmRec& picture = *read.Effects.Overlays[1];
    EXPECT_EQ(picture.Kind, TWmRec::kPicture);
    EXPECT_EQ(picture.PictureFile, "/home/anna/logo.png");
    EXPECT_EQ(picture.PictureHeight, 32);
}

TEST(TaskDescriptionTest, ResetValuesAndTimesWithoutValueComeBack) {
    const TTaskDescription task;
    const TTaskDescription read = ReadTaskDescription(WriteTaskDescription(task));
    EXPECT_EQ(read.Input.StartTime, kUnsetTime);
    EXPECT_EQ(read.Output.Duration, kUnsetTime);
    EXPECT_EQ(read.Output.Volume, -1);
    EXPECT_FLOAT_EQ(read.Output.MuxDelay, -1.0f);
    EXPECT_TRUE(read.Effects.Overlays.empty());
    EXPECT_FALSE(read.Effects.Any());
}

TEST(TaskDescriptionTest, FileNamesThatAreNotUtf8KeepEveryByte) {
    TTaskDescription task;
    task.Input.FileName = std::string("/media/old/caf\xE9 \xFF.avi");
    task.Output.FileName = std::string("/out/\x80\x81.mov");
    const TTaskDescription read = ReadTaskDescription(WriteTaskDescription(task));
    EXPECT_EQ(read.Input.FileName, task.Input.FileName);
    EXPECT_EQ(read.Output.FileName, task.Output.FileName);
}

TEST(TaskDescriptionTest, MissingKeysKeepResetValuesAndUnknownKeysAreIgnored) {
    const TTaskDescription read = ReadTaskDescription(
        R"({"Output": {"FileName": "/o.mp3", "DisableVideo": true, "FutureOption": [1, 2]},
            "Effects": {"Overlays": [{"Kind": 0, "Text": "Hi"}]}, "Elsewhere": {}})");
    EXPECT_EQ(read.Output.FileName, "/o.mp3");
    EXPECT_TRUE(read.Output.DisableVideo);
    EXPECT_EQ(read.Output.AudioSync, 0);
    EXPECT_TRUE(read.Input.FileName.empty());
    ASSERT_EQ(read.Effects.Overlays.size(), 1u);
    EXPECT_EQ(read.Effects.Overlays[0]->Text, "Hi");
    EXPECT_EQ(read.Effects.Overlays[0]->Font.Name, "Arial");
    EXPECT_EQ(read.Effects.Overlays[0]->TextOpacity, 255);
}

TEST(TaskDescriptionTest, FaultsAreRefusedNamingWhereTheyAre) {
    const auto error = [](const std::string& text) -> std::string {
        try {
            ReadTaskDescription(text);
        } catch (const std::runtime_error& fault) {
            return fault.what();
        }
        return "accepted";
    };
    EXPECT_EQ(error("not json").rfind("Task description: not JSON", 0), 0u);
    EXPECT_EQ(error(R"({"Output": {"MuxDelay": 1e400}})").rfind("Task description: not JSON", 0),
              0u)
        << "found by fuzzing: a number beyond a double escaped as the library's own error";
    EXPECT_EQ(error("[1, 2]"), "Task description: must be an object");
    EXPECT_EQ(error(R"({"version": 2})"),
              "Task description: written by a newer version of the program");
    EXPECT_EQ(error(R"({"Output": {"Volume": "loud"}})"),
              "Task description: Output.Volume must be a whole number");
    EXPECT_EQ(error(R"({"Output": {"Volume": 1.5}})"),
              "Task description: Output.Volume must be a whole number");
    EXPECT_EQ(error(R"({"Output": {"Volume": 4294967296}})"),
              "Task description: Output.Volume is out of range");
    EXPECT_EQ(error(R"({"Output": {"Volume": -2147483649}})"),
              "Task description: Output.Volume is out of range");
    EXPECT_EQ(error(R"({"Input": {"StartTime": 9223372036854775808}})"),
              "Task description: Input.StartTime is out of range");
    EXPECT_EQ(error(R"({"Output": {"Join": 1}})"),
              "Task description: Output.Join must be true or false");
    EXPECT_EQ(error(R"({"Output": {"Title": 5}})"),
              "Task description: Output.Title must be a text");
    EXPECT_EQ(error(R"({"Output": {"Title": {"hex": "abc"}}})"),
              "Task description: Output.Title must have an even number of hexadecimal digits");
    EXPECT_EQ(error(R"({"Effects": {"Overlays": {}}})"),
              "Task description: Effects.Overlays must be a list");
    EXPECT_EQ(error(R"({"Effects": {"Overlays": [{"Kind": 0}, {"Kind": 7}]}})"),
              "Task description: Effects.Overlays[1].Kind must be 0 (text) or 1 (picture)");
    EXPECT_EQ(error(R"({"Effects": {"Overlays": [{"Font": {"Color": -1}}]}})"),
              "Task description: Effects.Overlays[0].Font.Color is out of range");
    EXPECT_EQ(error(R"({"Input": []})"), "Task description: Input must be an object");
}

} // namespace
} // namespace tovik
