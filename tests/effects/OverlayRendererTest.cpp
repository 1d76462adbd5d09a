#include "effects/OverlayRenderer.h"

#include "support/TestSupport.h"

#include <QImage>
#include <cstring>
#include <gtest/gtest.h>

namespace tovik {
namespace {

TBitmap Filled(int width, int height, uint8_t value) {
    TBitmap bitmap(width, height);
    for (int y = 0; y < height; ++y)
        std::memset(bitmap.ScanLine(y), value, static_cast<size_t>(width) * 3);
    return bitmap;
}

int DifferingPixels(const TBitmap& a, const TBitmap& b, int left = 0, int top = 0, int right = -1,
                    int bottom = -1) {
    right = right < 0 ? a.Width() : right;
    bottom = bottom < 0 ? a.Height() : bottom;
    int count = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            count += std::memcmp(a.ScanLine(y) + 3 * x, b.ScanLine(y) + 3 * x, 3) != 0;
    return count;
}

std::shared_ptr<TWmRec> TextLayer(const std::string& text, bool filled) {
    auto layer = std::make_shared<TWmRec>();
    layer->Kind = TWmRec::kText;
    layer->Text = text;
    layer->Font.Size = 20;
    layer->Font.Color = 0x000000FF; // red
    layer->TextLeft = 20;
    layer->TextTop = 10;
    layer->TextWidth = 150;
    layer->TextHeight = 40;
    layer->TextOpacity = 255;
    layer->BackFilled = filled;
    layer->BackColor = 0x0000FF00; // green
    layer->StartSecond = 3;
    layer->EndSecond = 5;
    return layer;
}

TEST(OverlayRendererTest, TransparentTextChangesOnlyGlyphPixelsInsideItsBox) {
    const TBitmap original = Filled(200, 80, 128);
    TBitmap frame = Filled(200, 80, 128);
    TJobEffects job;
    job.Overlays.push_back(TextLayer("Tovik", false));
    TPictureCache pictures;
    RenderJobEffects(frame, job, 4'000'000, pictures);
    const int changed = DifferingPixels(frame, original);
    EXPECT_GT(changed, 20) << "the glyphs were drawn";
    EXPECT_EQ(DifferingPixels(frame, original, 20, 10, 170, 50), changed)
        << "nothing outside the box";
    EXPECT_LT(changed, 150 * 40 / 2) << "the background stayed transparent";
}

TEST(OverlayRendererTest, FilledTextBoxCoversTheWholeBox) {
    TBitmap frame = Filled(200, 80, 128);
    TJobEffects job;
    job.Overlays.push_back(TextLayer("Hi", true));
    TPictureCache pictures;
    RenderJobEffects(frame, job, 3'000'000, pictures);
    // Far corner of the box: back colour green (BGR 0,255,0), blended at full opacity.
    const uint8_t* corner = frame.ScanLine(48) + 3 * 168;
    EXPECT_LE(corner[0], 1);
    EXPECT_GE(corner[1], 254);
    EXPECT_LE(corner[2], 1);
    EXPECT_EQ(frame.ScanLine(60)[3 * 100], 128) << "outside the box";
}

TEST(OverlayRendererTest, LayersShowOnlyInTheirWholeSeconds) {
    TJobEffects job;
    job.Overlays.push_back(TextLayer("Time", true));
    TPictureCache pictures;
    const TBitmap original = Filled(200, 80, 128);
    for (int64_t time : {2'999'999LL, 6'000'000LL}) {
        TBitmap frame = Filled(200, 80, 128);
        RenderJobEffects(frame, job, time, pictures);
        EXPECT_EQ(DifferingPixels(frame, original), 0) << time;
    }
    for (int64_t time : {3'000'000LL, 5'999'999LL}) {
        TBitmap frame = Filled(200, 80, 128);
        RenderJobEffects(frame, job, time, pictures);
        EXPECT_GT(DifferingPixels(frame, original), 0) << time;
    }
}

TEST(OverlayRendererTest, PictureLayersKeepTheirFileSizeAndMissingFilesThrow) {
    test::TTempDir dir;
    QImage logo(30, 20, QImage::Format_RGB888);
    logo.fill(QColor(255, 255, 255));
    const std::string file = dir.File("logo.bmp");
    ASSERT_TRUE(logo.save(QString::fromStdString(file)));
    auto layer = std::make_shared<TWmRec>();
    layer->Kind = TWmRec::kPicture;
    layer->PictureFile = file;
    layer->PictureLeft = 190; // runs past the right edge
    layer->PictureTop = 5;
    layer->PictureWidth = 300; // enlarged in the editor: ignored
    layer->PictureHeight = 300;
    layer->EndSecond = 10;
    TJobEffects job;
    job.Overlays.push_back(layer);
    TBitmap frame = Filled(200, 80, 0);
    TPictureCache pictures;
    RenderJobEffects(frame, job, 0, pictures);
    const TBitmap black = Filled(200, 80, 0);
    EXPECT_EQ(DifferingPixels(frame, black), 10 * 20);
    layer->PictureFile = dir.File("missing.bmp");
    EXPECT_THROW(RenderJobEffects(frame, job, 0, pictures), std::runtime_error);
    test::WriteTextFile(dir.File("broken.bmp"), "BM not really");
    layer->PictureFile = dir.File("broken.bmp");
    EXPECT_THROW(RenderJobEffects(frame, job, 0, pictures), std::runtime_error);
}

TEST(OverlayRendererTest, NeutralJobsChangeNothingAndEffectsRunBeforeLayers) {
    TBitmap frame = Filled(16, 16, 100);
    TJobEffects job;
    TPictureCache pictures;
    EXPECT_FALSE(job.Any());
    RenderJobEffects(frame, job, 0, pictures);
    EXPECT_EQ(frame.ScanLine(3)[5], 100);
    job.Exposure = 100;
    EXPECT_TRUE(job.Any());
    RenderJobEffects(frame, job, 0, pictures);
    uint8_t table[256];
    BuildExposureTable(100, table);
    EXPECT_EQ(frame.ScanLine(3)[5], table[100]);
}

} // namespace
} // namespace tovik
