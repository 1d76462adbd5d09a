// The media probe on any file: opening, reading every stream's facts and the description text
// must never crash, whatever the container claims.

#include "FuzzSupport.h"

#include "media/MediaProbe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tovik::fuzz::LoadMediaLibraries();
    const tovik::fuzz::TMemoryFile file(data, size);
    tovik::TMediaProbe probe;
    if (probe.LoadFile(file.Name())) {
        (void)probe.GetFileStreamInfo();
        for (int index = 0; index < probe.StreamCount(); ++index) {
            if (probe.IsVideoStream(index))
                (void)probe.GetVideoStreamInfo(index);
            if (probe.IsAudioStream(index))
                (void)probe.GetAudioStreamInfo(index);
        }
        (void)probe.FileInfoText();
        probe.CloseFile();
    }
    return 0;
}
