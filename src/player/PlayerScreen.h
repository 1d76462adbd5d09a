#pragma once
// The player's picture output. A host (a widget, or the headless screen of the tests)
// implements TPlayerScreen; the player's play thread hands it finished pictures, already
// scaled to the rectangle they fill, and the host reports its size changes and exposures
// through ReportResize / ReportExpose from any thread.
//
// A picture is a 24-bit BGR TBitmap (rows top first, padded to 4 bytes): a Qt widget wraps
// it in a QImage of Format_BGR888 with BytesPerLine() and paints it 1:1 at Target, without
// converting or copying. The player never writes into a bitmap it has handed out, so the
// host may keep the shared pointer as long as it likes (until the next ShowPicture, say).

#include "media/Bitmap.h"

#include <cstdint>
#include <memory>
#include <mutex>

namespace tovik {

struct TScreenRect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    bool operator==(const TScreenRect&) const = default;
};

struct TScreenPicture {
    std::shared_ptr<const TBitmap> Picture; // Target.Width x Target.Height pixels
    TScreenRect Target;                     // where it goes in the output area
    int64_t PTS = -1;                       // its time (microseconds from the start), -1: none
};

// What the host tells the player; implemented by the player.
class TScreenListener {
public:
    virtual ~TScreenListener() = default;
    virtual void ScreenResized(int width, int height) = 0;
    virtual void ScreenExposed() = 0;
};

class TPlayerScreen {
public:
    virtual ~TPlayerScreen() = default;

    // The size of the output area in pixels (any thread).
    virtual int ScreenWidth() const = 0;
    virtual int ScreenHeight() const = 0;
    // A number naming the native window, for messages; 0 when there is none.
    virtual uint32_t Handle() const { return 0; }

    // Play thread: show the picture. The area around Target is left as it is.
    virtual void ShowPicture(const TScreenPicture& picture) = 0;
    // Play thread: paint the area with one colour (0xRRGGBB).
    virtual void Fill(const TScreenRect& area, uint32_t colour) = 0;

    // Host side, any thread: the output area changed size / must be painted again.
    void ReportResize(int width, int height);
    void ReportExpose();

    // Player side: who hears the reports (null: nobody).
    void SetListener(TScreenListener* listener);

private:
    std::mutex listenerMutex_; // guards listener_; held while a report is delivered
    TScreenListener* listener_ = nullptr;
};

// The display rule: where a picture of pictureWidth x pictureHeight with the given sample
// aspect goes in an output area of outputWidth x outputHeight. aspectRatio 0 keeps the
// picture's own shape, above 0 forces width / height, below 0 fills the area.
TScreenRect DisplayRectangle(int outputWidth, int outputHeight, int pictureWidth, int pictureHeight,
                             double sampleAspect, double aspectRatio);

} // namespace tovik
