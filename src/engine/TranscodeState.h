#pragma once
// The state of one running conversion: a record per input stream and per output stream,
// built by the set-up stage, used by the loop, released when the task ends.
//
// Threads: the converting thread runs demuxing, decoding and the frame path; each encoded
// output stream's encoder runs on a stage thread of its own (FrameStage.h). A field without a
// lock named beside it belongs to the converting thread (or is fixed while the stages run);
// "encoder thread" fields belong to the stream's encoder stage; fields "under OutputMutex"
// are shared and read or written only while holding TTranscodeState::OutputMutex.

#include "engine/AudioConverter.h"
#include "engine/FrameStage.h"
#include "engine/TranscodeTypes.h"
#include "engine/VideoFilterGraph.h"
#include "media/Bitmap.h"
#include "media/PictureToBitmap.h"

#include <array>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tovik {

struct TBsfDeleter {
    void operator()(AVBSFContext* context) const { ff::av_bsf_free(&context); }
};
using TBsfPtr = std::unique_ptr<AVBSFContext, TBsfDeleter>;

struct TFileCloser {
    // NOLINTNEXTLINE(cppcoreguidelines-owning-memory): the deleter of the file's one owner
    void operator()(FILE* file) const { std::fclose(file); }
};

struct TInputStream {
    int FileIndex = 0;
    int StreamIndex = 0;
    AVStream* Stream = nullptr; // owned by the input's context
    const AVCodec* ForcedDecoder = nullptr;
    bool Taken = false;          // some output stream uses it
    bool DecodingNeeded = false; // some encoded output stream uses it
    TCodecContextPtr Decoder;    // when decoding is needed
    bool DecoderOpen = false;
    int64_t StartWallTime = 0;        // microseconds, for "re"
    int64_t NextPts = AV_NOPTS_VALUE; // microseconds
    int64_t Pts = 0;                  // microseconds: time of the current frame
    bool IsStart = true;
    bool PastRecordingTime = false;
    bool Flushed = false;
    float Quality = 0.0f; // of the last decoded picture
    // Decoding times of sent video packets that carry no presentation time (AVI with
    // B-frames), smallest first: the pictures come out in display order, each taking the
    // smallest time still waiting, as the decoder's own guess lags by its reorder delay.
    std::deque<int64_t> WaitingDts;
    // The end of the latest packet read (microseconds, after the input's offset).
    int64_t ReadUntil = INT64_MIN;
    // The part of that span without packets: jumps between packets past the timestamp
    // discontinuity threshold, as a damaged file's timestamps make. Not content that was lost.
    int64_t ReadGaps = 0;
    // A picture stored sideways is turned upright as it enters the frame path, so that the
    // effects and the preview see it as it is shown; the outputs' graphs then take it as is.
    std::unique_ptr<TVideoFilterGraph> Uprighter;
    TFramePtr UprightFrame;
};

struct TInputFileState {
    int FirstStream = 0;
    int StreamCount = 0;
    bool Ended = false;
    bool NoPacket = false;
};

struct TOutputStream {
    int FileIndex = 0;   // output entry
    int StreamIndex = 0; // within the output
    int SourceIndex = 0; // into the input stream table
    int SyncIndex = 0;
    AVStream* Stream = nullptr;          // owned by the output's context
    TOutputStreamSetup* Setup = nullptr; // owned by the output file record
    bool EncodingNeeded = false;
    bool StreamCopy = false;
    bool EncoderOpen = false;
    int64_t FrameNumber = 0;      // frames handed to the encoder stage (or copied)
    int64_t SyncOpts = 0;         // next output position in encoder time base units
    int64_t LastMuxTime = 0;      // under OutputMutex: microseconds of the last packet written
    bool CountsForReports = true; // false once its join group is done
    bool Flushed = false;
    float LastQuality = -1.0f;   // under OutputMutex
    int LastPictureType = 0;     // under OutputMutex
    uint64_t LastError[4] = {};  // under OutputMutex: squared error per plane of the last picture
    uint64_t TotalError[4] = {}; // under OutputMutex: summed over the stream

    // The encoder stage: its thread runs the encoder, the bitstream filters and the pass log.
    std::unique_ptr<TFrameStage> EncoderStage;
    TPacketPtr EncodedPacket; // encoder thread
    int64_t SentFrames = 0;   // encoder thread: frames handed to the encoder
    int64_t NextSentPts = 0;  // encoder thread: the position after the last frame handed over
    TFramePtr AudioPiece;     // encoder thread: one encoder frame cut from a run of sound
    // Encoders that code each picture on its own, from that picture alone (DV): a picture the
    // frame rate conversion repeats is coded once and its packet written again.
    struct TRepeats {
        bool Enabled = false;  // fixed while the stages run
        TFramePtr LastPicture; // encoder thread: a reference to the last picture coded
        TPacketPtr LastPacket; // encoder thread: the last packet written, encoder time base
        TPacketPtr Copy;       // encoder thread: the packet being written again
        // Encoder thread: per picture inside the encoder, in order, the times of its repeats.
        std::deque<std::vector<int64_t>> Pending;
    } Repeats;

    // Encoders that code whole groups of pictures side by side (CodecThreads.h). Group g
    // (Length pictures, the first a key picture) goes to encoder g mod their count; the
    // packets are written back in group order. Empty when the stream has one encoder stage.
    struct TGroupEncoder {
        AVCodecContext* Codec = nullptr; // the stream's own encoder for the first, else Twin
        TCodecContextPtr Twin;
        TPacketPtr Packet; // its stage thread
        struct TSent {
            int64_t Group;
            int64_t Pts;
        };
        std::deque<TSent> Sent; // its stage thread: each picture inside, with its real time
        int64_t Pictures = 0;   // its stage thread: pictures of its own groups handed to it
        int64_t Coded = 0;      // its stage thread: pictures it coded, warm-up ones included
        int64_t OpenGroup = -1; // its stage thread: the group being collected
        std::vector<TPacketPtr> OpenPackets; // its stage thread
        std::unique_ptr<TFrameStage> Stage;  // declared last: ends before the encoder goes
    };
    struct TGroups {
        int64_t Length = 0;                              // fixed while the stages run
        std::mutex Mutex;                                // orders the writing of finished groups
        std::map<int64_t, std::vector<TPacketPtr>> Done; // under Mutex: waiting their turn
        int64_t NextGroup = 0;                           // under Mutex: the group written next
        // Fixed while the stages run; declared last, so that their stages end before what
        // they write into goes.
        std::deque<TGroupEncoder> Encoders;
    } Groups;

    // Video: crop and scale without a filter chain.
    bool CropNeeded = false;
    bool ResampleNeeded = false;
    int CropTop = 0, CropBottom = 0, CropLeft = 0, CropRight = 0;
    int ResampleWidth = 0, ResampleHeight = 0;      // cropped input size
    AVPixelFormat ResampleFormat = AV_PIX_FMT_NONE; // input pixel format
    int UnfilteredWidth = 0, UnfilteredHeight = 0;  // input size at set-up
    // Pictures the scaler writes into; one that the encoder stage no longer holds is taken
    // again, so scaling needs neither a new buffer nor a copy per frame.
    std::vector<TFramePtr> ScaledPictures;
    TSwsContextPtr Scaler;
    std::unique_ptr<TVideoFilterGraph> Filter;

    // Audio.
    TAudioConverter Audio;
    bool AudioResample = false;
    bool AudioStarted = false; // the first samples have been placed

    // Bitstream filters, in order: the encoder thread's for an encoded stream.
    std::vector<TBsfPtr> BitstreamFilters;
    // Two-pass statistics (encoder thread).
    std::unique_ptr<FILE, TFileCloser> PassLog;
    std::string PassStats; // pass 2 input, kept alive while the encoder runs
};

struct TTranscodeState {
    std::vector<TInputStream> InputStreams;
    std::vector<TInputFileState> InputFiles;
    std::deque<TOutputStream> OutputStreams; // built in place: the records do not move
    TPacketPtr Packet;
    TFramePtr Frame;
    TFramePtr FilteredFrame;
    TFramePtr EncoderFrame;
    TPacketPtr EncodedPacket; // stream copy and subtitles
    // Guards the output files (writing packets, their positions), what the encoder stages
    // report back (byte counts, quality statistics) and the fields marked with it.
    std::mutex OutputMutex;
    // Counters of the task.
    int64_t VideoBytes = 0; // under OutputMutex
    int64_t AudioBytes = 0; // under OutputMutex
    int64_t ExtraBytes = 0;
    int64_t DuplicatedFrames = 0;
    int64_t DroppedFrames = 0;
    bool DupDropChanged = false;
    int FrameCounter = 0; // decoded video frames that entered the frame path
    int64_t StartWallTime = 0;
    int64_t LastReportTime = 0;
    int64_t LastPreviewTime = 0;
    int CurrentJoinInput = 0;
    // The hook's and the preview's pictures.
    TBitmap HookBitmap;
    TBitmap HookOriginal; // the hook's picture before the handler drew on it
    TPictureConverter HookConverter;
    TBitmap PreviewBitmap;
    TPictureConverter PreviewConverter;
    std::unique_ptr<TVideoFilterGraph> Deinterlacer;
    bool DeinterlaceFailed = false;
    std::unique_ptr<FILE, TFileCloser> VStatsFile; // under OutputMutex
    std::array<int, 52> QpHistogram{};             // under OutputMutex: pictures per quantiser
};

} // namespace tovik
