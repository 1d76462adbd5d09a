#include "AppTestSupport.h"

#include "app/CoverWindow.h"

#include <QImage>

namespace tovik::test {
namespace {

class CoverWindowTest : public TAppTest {};

TEST_F(CoverWindowTest, WithoutAPictureFileTheBuiltInPictureSizesTheWindow) {
    TfrmCover cover;
    EXPECT_EQ(cover.PictureSize(), QSize(399, 239));
    cover.show();
    EXPECT_EQ(cover.size(), QSize(399, 239));
    EXPECT_TRUE(cover.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(TfrmCover::CoverPictureFile().endsWith("/skin/avimovcover.jpg"));
}

TEST_F(CoverWindowTest, APictureFileReplacesTheBuiltInOneUnlessItIsBroken) {
    TfrmCover cover;
    cover.LoadPicture(QString::fromStdString(temp_.File("missing.jpg")));
    EXPECT_EQ(cover.PictureSize(), QSize(399, 239));

    const QString broken = QString::fromStdString(temp_.File("broken.jpg"));
    WriteTextFile(broken.toStdString(), "not a JPEG");
    cover.LoadPicture(broken);
    EXPECT_EQ(cover.PictureSize(), QSize(399, 239));

    QImage picture(320, 200, QImage::Format_RGB32);
    picture.fill(Qt::darkBlue);
    const QString jpeg = QString::fromStdString(temp_.File("cover.jpg"));
    ASSERT_TRUE(picture.save(jpeg, "JPG"));
    cover.LoadPicture(jpeg);
    EXPECT_EQ(cover.PictureSize(), QSize(320, 200));
    cover.show();
    EXPECT_EQ(cover.size(), QSize(320, 200));
}

TEST_F(CoverWindowTest, ATimerTickClosesItOnlyOnceTheMainWindowShows) {
    TfrmCover cover;
    QWidget main;
    cover.SetMainWindow(&main);
    cover.show();
    cover.TimerTick();
    EXPECT_TRUE(cover.isVisible());
    main.show();
    cover.TimerTick();
    EXPECT_FALSE(cover.isVisible());
    // Closing hides: the window is still there to be asked.
    EXPECT_EQ(cover.PictureSize(), QSize(399, 239));
}

TEST_F(CoverWindowTest, WithoutAMainWindowTicksChangeNothing) {
    TfrmCover cover;
    cover.show();
    cover.TimerTick();
    EXPECT_TRUE(cover.isVisible());
    {
        QWidget gone;
        cover.SetMainWindow(&gone);
        gone.show();
    }
    cover.TimerTick(); // the main window went away: no crash, no close
    EXPECT_TRUE(cover.isVisible());
}

} // namespace
} // namespace tovik::test
