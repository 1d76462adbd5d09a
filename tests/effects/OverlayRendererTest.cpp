#include "effects/OverlayRenderer.h"

#include "support/TestSupport.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
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

TEST(OverlayRendererTest, PictureLayersTakeTheirPlacedSizeAndMissingFilesThrow) {
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
    layer->EndSecond = 10;
    TJobEffects job;
    job.Overlays.push_back(layer);
    const TBitmap black = Filled(200, 80, 0);
    TPictureCache pictures;
    {
        // No placed size (a job from before the editor kept one): the file's own size.
        TBitmap frame = Filled(200, 80, 0);
        RenderJobEffects(frame, job, 0, pictures);
        EXPECT_EQ(DifferingPixels(frame, black), 10 * 20);
    }
    {
        // Enlarged in the editor: drawn as large as the editor showed it.
        layer->PictureLeft = -10; // and partly above and left of the frame
        layer->PictureTop = -5;
        layer->PictureWidth = 60;
        layer->PictureHeight = 40;
        TBitmap frame = Filled(200, 80, 0);
        RenderJobEffects(frame, job, 0, pictures);
        EXPECT_EQ(DifferingPixels(frame, black), 50 * 35);
        EXPECT_EQ(DifferingPixels(frame, black, 0, 0, 50, 35), 50 * 35);
    }
    TBitmap frame = Filled(200, 80, 0);
    layer->PictureFile = dir.File("missing.bmp");
    EXPECT_THROW(RenderJobEffects(frame, job, 0, pictures), std::runtime_error);
    test::WriteTextFile(dir.File("broken.bmp"), "BM not really");
    layer->PictureFile = dir.File("broken.bmp");
    EXPECT_THROW(RenderJobEffects(frame, job, 0, pictures), std::runtime_error);
}

// A picture with transparency (a logo) blends each pixel by its own alpha times the layer's
// opacity; PNG, JPEG and BMP files all make layers.
class PictureAlphaTest : public ::testing::Test {
protected:
    std::shared_ptr<TWmRec> PictureLayer(const std::string& file, int opacity) {
        auto layer = std::make_shared<TWmRec>();
        layer->Kind = TWmRec::kPicture;
        layer->PictureFile = file;
        layer->PictureLeft = 4;
        layer->PictureTop = 2;
        layer->PictureOpacity = opacity;
        layer->EndSecond = 1;
        return layer;
    }
    TBitmap Render(const std::shared_ptr<TWmRec>& layer) {
        TJobEffects job;
        job.Overlays.push_back(layer);
        TBitmap frame = Filled(32, 24, 128);
        RenderJobEffects(frame, job, 0, pictures_);
        return frame;
    }
    test::TTempDir dir_;
    TPictureCache pictures_;
};

TEST_F(PictureAlphaTest, HalfTransparentRedOverGreyGivesTheMix) {
    // Left half: red at alpha 128; right half: fully transparent.
    QImage logo(16, 8, QImage::Format_ARGB32);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            logo.setPixel(x, y, x < 8 ? qRgba(255, 0, 0, 128) : qRgba(0, 0, 255, 0));
    const std::string file = dir_.File("logo.png");
    ASSERT_TRUE(logo.save(QString::fromStdString(file)));
    const TBitmap grey = Filled(32, 24, 128);

    TBitmap frame = Render(PictureLayer(file, 255));
    // a = 128: red (128 * 128 + 128 * 255) >> 8 = 191, green and blue 128 * 128 >> 8 = 64.
    const uint8_t* mixed = frame.ScanLine(2 + 3) + 3 * (4 + 2);
    EXPECT_EQ(mixed[2], 191);
    EXPECT_EQ(mixed[1], 64);
    EXPECT_EQ(mixed[0], 64);
    EXPECT_EQ(DifferingPixels(frame, grey), 8 * 8) << "the transparent half changed nothing";
    EXPECT_EQ(DifferingPixels(frame, grey, 4, 2, 12, 10), 8 * 8);

    // The layer's opacity scales the picture's own alpha: 128 * 128 / 255 = 64.
    frame = Render(PictureLayer(file, 128));
    mixed = frame.ScanLine(3) + 3 * 5;
    EXPECT_EQ(mixed[2], (192 * 128 + 64 * 255) >> 8);
    EXPECT_EQ(mixed[1], (192 * 128) >> 8);
}

TEST_F(PictureAlphaTest, OpaqueFilesOfEveryFormatBlendAsBefore) {
    QImage logo(10, 6, QImage::Format_RGB888);
    logo.fill(QColor(200, 100, 50));
    for (const char* name : {"logo.png", "logo.jpg", "logo.bmp"}) {
        const std::string file = dir_.File(name);
        ASSERT_TRUE(logo.save(QString::fromStdString(file))) << name;
        TBitmap frame = Render(PictureLayer(file, 200));
        const uint8_t* pixel = frame.ScanLine(4) + 3 * 8;
        // Opaque pictures take the blend of 24-bit bitmaps: (56 * 128 + 200 * s) >> 8.
        EXPECT_NEAR(pixel[2], (56 * 128 + 200 * 200) >> 8, 2) << name;
        EXPECT_NEAR(pixel[1], (56 * 128 + 200 * 100) >> 8, 2) << name;
        EXPECT_NEAR(pixel[0], (56 * 128 + 200 * 50) >> 8, 2) << name;
        EXPECT_EQ(frame.ScanLine(1)[3], 128) << name;
    }
    // An opaque picture gets no alpha plane: the fast blend of 24-bit bitmaps draws it.
    EXPECT_FALSE(pictures_.Get(dir_.File("logo.bmp")).HasAlpha());
}

TEST(BlendBitmapAlphaTest, OpaquePixelsBlendExactlyAsTheWholeBitmapBlend) {
    TBitmap source(40, 3);
    for (int y = 0; y < 3; ++y)
        for (int i = 0; i < 120; ++i)
            source.ScanLine(y)[i] = static_cast<uint8_t>(i * 7 + y);
    const std::vector<uint8_t> opaque(40 * 3, 255);
    for (int alpha : {0, 1, 128, 254, 255}) {
        TBitmap a = Filled(50, 10, 90);
        TBitmap b = Filled(50, 10, 90);
        BlendBitmap(a, source, -3, 8, alpha);
        BlendBitmapAlpha(b, source, opaque.data(), 40, -3, 8, alpha);
        EXPECT_EQ(DifferingPixels(a, b), 0) << alpha;
    }
}

TEST(TextLayerImageTest, TheEditorsBoxMatchesWhatTheFrameGets) {
    auto layer = TextLayer("Tovik", true);
    layer->StartSecond = 0;
    const QImage box = TextLayerImage(*layer);
    ASSERT_EQ(box.size(), QSize(150, 40));
    // Compose the editor's box over the frame as the editor's view does, at full opacity.
    TBitmap frame = Filled(200, 80, 128);
    TJobEffects job;
    job.Overlays.push_back(layer);
    TPictureCache pictures;
    RenderJobEffects(frame, job, 0, pictures);
    QImage composed(200, 80, QImage::Format_RGB32);
    composed.fill(QColor(128, 128, 128));
    {
        QPainter painter(&composed);
        painter.drawImage(20, 10, box);
    }
    int worst = 0;
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 200; ++x) {
            const QRgb c = composed.pixel(x, y);
            const uint8_t* p = frame.ScanLine(y) + 3 * x;
            worst = std::max({worst, std::abs(qRed(c) - p[2]), std::abs(qGreen(c) - p[1]),
                              std::abs(qBlue(c) - p[0])});
        }
    EXPECT_LE(worst, 2);
    const QSize extent = TextExtent(layer->Font, "Tovik");
    EXPECT_GT(extent.width(), 20);
    EXPECT_GT(extent.height(), 10);
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
