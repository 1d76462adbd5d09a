#pragma once
// The preview window of a running task (the component's Preview property). The kit knows the
// window only through TPreviewWindow; the program supplies the real one. Without a window
// factory the previewer keeps the last picture and behaves the same otherwise.

#include "media/Bitmap.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace tovik {

// A small tool window, always on top, that the user can drag by its whole area and close.
// All operations run on the main thread.
class TPreviewWindow {
public:
    virtual ~TPreviewWindow() = default;
    // Shows the window with a client area of the given size (centred the first time).
    virtual void ShowWindow(int clientWidth, int clientHeight) = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    // Draws the picture at the top left corner of the client area.
    virtual void Draw(const TBitmap& bitmap) = 0;
};

// Creates a window; the window calls onClose (main thread) when the user closes it.
using TPreviewWindowFactory =
    std::function<std::unique_ptr<TPreviewWindow>(std::function<void()> onClose)>;

class TPreviewer {
public:
    explicit TPreviewer(TPreviewWindowFactory factory = nullptr);
    // Frees the window on the main thread.
    ~TPreviewer();
    TPreviewer(const TPreviewer&) = delete;
    TPreviewer& operator=(const TPreviewer&) = delete;

    // Shows a picture, creating the window on first use. False once the user closed it.
    bool Show(const TBitmap& bitmap, int frameNumber, int64_t frameTime);
    // The user closed the window.
    void Close();
    bool Closed() const;
    int FrameNumber() const;
    int64_t FrameTime() const;
    bool HasWindow() const;

private:
    TPreviewWindowFactory factory_;
    mutable std::mutex mutex_;
    bool closed_ = false;   // guarded by mutex_
    int frameNumber_ = 0;   // guarded by mutex_
    int64_t frameTime_ = 0; // guarded by mutex_
    TBitmap bitmap_;        // guarded by mutex_
    // Main thread only.
    std::unique_ptr<TPreviewWindow> window_;
    bool hasWindow_ = false; // guarded by mutex_
};

} // namespace tovik
