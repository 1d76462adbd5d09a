#pragma once
// Published types of the preview player: states, drivers and the event signatures.

#include "media/Bitmap.h"
#include "media/MediaComponent.h"

#include <cstdint>
#include <functional>

namespace tovik {

// psStep exists for completeness of the type but is never reported.
enum class TPlayState { psPlay, psPause, psResume, psStep, psStop, psEnd };
enum class TAudioDriver { adDefault, adDirectSound, adWaveOut };
enum class TVideoDriver { vdDefault, vdDirectDraw, vdGDI };

// 0 .. 128, 128 is full volume.
using TAudioVolume = int;
inline constexpr TAudioVolume kMaxAudioVolume = 128;

// The handler may change AScreenWidth / AScreenHeight (the size of the output area).
using TFileOpenEvent = std::function<void(TObject* Sender, int64_t ADuration, int AFrameWidth,
                                          int AFrameHeight, int& AScreenWidth, int& AScreenHeight)>;
// Runs on the video decoding thread with the upright picture about to be shown; what the
// handler draws into ABitmap is shown. APTS is in microseconds from the container start.
using THookEvent = std::function<void(TObject* Sender, TBitmap& ABitmap, int64_t APTS)>;
using TPositionEvent = std::function<void(TObject* Sender, int64_t APTS)>;
using TPlayStateEvent = std::function<void(TObject* Sender, TPlayState AState)>;

} // namespace tovik
