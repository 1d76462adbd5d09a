#pragma once
// The transcoding engine: one conversion task with its inputs, outputs and pending settings.
//
// TCustomFFmpeg is split by stage, one source file (or a few) per stage, the way FFmpeg's
// own command-line tool splits demuxing, decoding, filtering, encoding and muxing:
//   options, targets and presets ...... FFmpegOptions*.cpp, FFmpegTargets.cpp, FFmpegPresets.cpp
//   input and output setup ............ (input/output stage)
//   transcode setup ................... (set-up stage)
//   loop and frame path ............... (loop stage)
//   encoder stages .................... FFmpegStages.cpp, FrameStage.cpp, FFmpegRepeats.cpp,
//                                       FFmpegGroups.cpp
//   worker threads, pause and stop .... (thread stage)
// The converting thread demuxes, decodes and runs the frame path; each encoded video and
// audio stream encodes and writes its packets on a stage thread of its own, joined to the
// frame path by a small bounded queue (TranscodeState.h names what each thread owns).
// Members below are grouped by the stage that owns them. A stage reads the pending settings
// (TEngineSettings) that the option stage writes; it does not write settings of other stages.

#include "engine/ConvertThread.h"
#include "engine/EventRecords.h"
#include "engine/FFmpegException.h"
#include "engine/OptionRecords.h"
#include "engine/TranscodeState.h"
#include "engine/TranscodeTypes.h"
#include "media/DefaultOptions.h"
#include "media/LibraryBindings.h"
#include "media/MediaComponent.h"

#include <array>
#include <atomic>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace tovik {

class TMediaProbe;

inline constexpr int kMaxFiles = 20;       // inputs and outputs of one task
inline constexpr int kMaxStreams = 20;     // streams per file the option tables address
inline constexpr int kMaxStreamMaps = 400; // "map" entries of one task
inline constexpr int kMaxMetaDataMaps = 20;

// One "map" entry: input file.stream feeding the next output stream, timed by syncfile.stream.
struct TStreamMap {
    int FileIndex = 0;
    int StreamIndex = 0;
    int SyncFileIndex = 0;
    int SyncStreamIndex = 0;
    bool operator==(const TStreamMap&) const = default;
};

// One "map_meta_data" entry: copy all metadata of input InFile to output OutFile.
struct TMetaDataMap {
    int OutFile = 0;
    int InFile = 0;
    bool operator==(const TMetaDataMap&) const = default;
};

// Target norms of "target".
enum class TTargetNorm { tnPAL, tnNTSC, tnFILM };

// The pending settings of one task. Options write them; the input/output, set-up and loop
// stages read them. ResetEngine restores these defaults. Units: times in microseconds,
// sizes in pixels, rates in bit/s unless stated.
struct TEngineSettings {
    // Picture ("s", crop bands, "aspect", "pix_fmt", "r").
    int FrameWidth = 0;
    int FrameHeight = 0;
    int FrameTopBand = 0;
    int FrameBottomBand = 0;
    int FrameLeftBand = 0;
    int FrameRightBand = 0;
    double FrameAspectRatio = 0.0;               // 0: not set
    AVPixelFormat FramePixFmt = AV_PIX_FMT_NONE; // -1: not set
    AVRational FrameRate{0, 0};                  // 0/0: not set

    // Frame limits, indexed by media type: video, audio, data ("dframes"), subtitle.
    std::array<int, 4> MaxFrames{INT_MAX, INT_MAX, INT_MAX, INT_MAX};

    // Quality and video coding.
    float VideoQScale = 0.0f;          // "qscale", 0: not set
    float AudioQScale = -99999.0f;     // "aq", -99999: not set
    int TopFieldFirst = -1;            // "top": -1 automatic, 0 bottom, 1 top
    int IntraDcPrecision = 8;          // "dc"
    int MeThreshold = 0;               // "me_threshold"
    int VideoGlobalHeader = 0;         // "vglobal"
    int VideoDiscard = 0;              // "vdt"
    int DoPass = 0;                    // "pass": 0 single pass, 1, 2
    std::string PassLogFileName;       // "passlogfile", empty: "ffmpeg2pass"
    std::string RcOverrideString;      // "rc_override"
    std::vector<uint16_t> IntraMatrix; // "intra_matrix": empty or 64 coefficients
    std::vector<uint16_t> InterMatrix; // "inter_matrix"
    bool IntraOnly = false;            // "intra"
    bool SameQuality = false;          // "sameq"
    bool DoDeinterlace = false;        // "deinterlace"
    bool DoPSNR = false;               // "psnr"
    bool QpHist = false;               // "qphist"
    bool ForceFps = false;             // "force_fps"
    std::string VStatsFileName;        // "vstats", "vstats_file"; empty: no statistics
    int VideoBufferSize = 262144;      // bit buffer for video encoding, bytes

    // Audio.
    AVSampleFormat AudioSampleFmt = AV_SAMPLE_FMT_NONE; // "sample_fmt", -1: not set
    int AudioSampleRate = 44100;                        // "ar"
    int AudioChannels = 2;                              // "ac"
    // "ac" / "ar" (or a target) chose the count / rate for the next outputs. Otherwise each
    // output stream keeps its own source's layout and rate, as near as its encoder allows.
    bool AudioChannelsSet = false;
    bool AudioSampleRateSet = false;
    int AudioVolume = 256; // "vol", 256 unchanged

    // Codecs per media type ("acodec", "vcodec", "scodec"); "copy" sets the copy flag
    // and leaves the name.
    std::string AudioCodecName;
    std::string VideoCodecName;
    std::string SubtitleCodecName;
    bool AudioStreamCopy = false;
    bool VideoStreamCopy = false;
    bool SubtitleStreamCopy = false;
    bool AudioDisable = false;     // "an"
    bool VideoDisable = false;     // "vn"
    bool SubtitleDisable = false;  // "sn"
    std::string AudioLanguage;     // "alang"
    std::string VideoLanguage;     // "vlang"
    std::string SubtitleLanguage;  // "slang"
    uint32_t AudioCodecTag = 0;    // "atag", first character lowest
    uint32_t VideoCodecTag = 0;    // "vtag"
    uint32_t SubtitleCodecTag = 0; // "stag"
    // Bitstream filters of the next streams, in order ("absf", "vbsf", "sbsf"): each entry
    // the filter's text as given (name[=arguments]).
    std::vector<std::string> AudioBitstreamFilters;
    std::vector<std::string> VideoBitstreamFilters;
    std::vector<std::string> SubtitleBitstreamFilters;
    std::string VideoFilters; // "vf", "vfilters"

    // Files and timing.
    std::string FormatName;            // "f": forced format of the next input or output
    bool PgmyuvCompat = false;         // "f pgmyuv" read as image2
    int64_t RecordingTime = INT64_MAX; // "t"
    int64_t StartTime = 0;             // "ss"
    int64_t InputTsOffset = 0;         // "itsoffset"
    int64_t RecordingTimestamp = 0;    // "timestamp", seconds since 1970
    int64_t LimitFileSize = 0;         // "fs", bytes; 0: no limit
    std::array<double, kMaxStreams> InputTsScale{}; // "itsscale" of the next input, 0: none
    std::vector<std::pair<std::string, std::string>> Metadata; // "metadata" of the next output
    std::vector<std::pair<int, int>> StreamIds; // "streamid": output stream index, identifier
    std::vector<TStreamMap> StreamMaps;         // "map"
    std::vector<TMetaDataMap> MetaDataMaps;     // "map_meta_data"
    int ProgramId = 0;                          // "programid" of the next input, 0: none
    int VideoChannel = 0;                       // "vc"
    std::string VideoStandard;                  // "tvstd"
    int LoopOutput = -1;                        // "loop_output", -1: no loop entry
    bool LoopInput = false;                     // "loop_input"
    float MuxPreload = 0.5f;                    // "muxpreload", seconds
    float MuxMaxDelay = 0.7f;                   // "muxdelay", seconds

    // Synchronisation.
    int VideoSyncMethod = -1;         // "vsync", -1 automatic
    int AudioSyncMethod = 0;          // "async"
    float AudioDriftThreshold = 0.1f; // "adrift_threshold", seconds
    float DtsDeltaThreshold = 10.0f;  // "dts_delta_threshold", seconds
    int CopyInitialNonKeyframes = 0;  // "copyinkf"
    bool CopyTs = false;              // "copyts"
    bool InputSync = false;           // "isync"
    bool OptShortest = false;         // "shortest"
    bool RateEmu = false;             // "re"
    bool ExitOnError = false;         // "xerror"
    bool DoPktDump = false;           // "dump"
    bool DoHexDump = false;           // "hex"

    // Task.
    int Verbose = 1;                   // "v"
    int ThreadCount = 0;               // "threads": codec threads, 0 automatic
    int SwsFlags = SWS_BICUBIC;        // scaler flags of the default options ("sws_flags")
    int64_t ProgressInterval = 500000; // the component overrides it when starting
    int64_t PreviewInterval = 100000;
};

// A frame hook module loaded by "vhook" (see FFmpegHooks.cpp).
struct TFrameHookEntry {
    void* Context = nullptr; // the module's own context slot
    void* Process = nullptr; // "Process" entry
    void* Release = nullptr; // "Release" entry, may be null
    std::string Path;
};

class TCustomFFmpeg : public TObject {
public:
    TCustomFFmpeg();
    ~TCustomFFmpeg() override;

    // ---- Options, targets and presets (FFmpegOptions*.cpp) ----------------------------

    // Releases what the task holds and restores the default settings. Does nothing while
    // the engine's libraries are not loaded.
    void ResetEngine();
    // Applies one option (name without the leading dash) to the pending settings. Raises
    // FFmpegException (or a conversion error for non-numbers) on a refused value. False when
    // the name is none of the engine's and the libraries know no option of that name, or
    // refused the value.
    bool SetOption(const std::string& name, const std::string& value);
    // Applies option lines: "newvideo", "newaudio", "newsubtitle", "apre", "vpre", "spre",
    // "vfilters" and "vf" are skipped; "acodec", "vcodec", "scodec" and "s" only with
    // applyCodecOptions.
    void ParseOptionText(const std::string& text, bool applyCodecOptions);
    // The target shortcut: type "vcd", "svcd", "dvd", "dv", "dv50"; norm "pal", "ntsc",
    // "film" or anything else for automatic; fallback norm used when automatic cannot decide.
    void SetTarget(const std::string& type, const std::string& norm,
                   const std::string& fallbackNorm);
    // Applies a built-in preset or a preset file; kind "apre", "vpre", "spre" or "fpre".
    void ApplyPreset(const std::string& kind, const std::string& name);

    const TEngineSettings& Settings() const { return settings_; }
    // The generic option contexts ("g", "bf", "flags", private encoder options ...); null
    // while the libraries are not loaded.
    TDefaultOptions* DefaultOptions() const { return defaultOptions_.get(); }
    const std::string& LastError() const { return lastError_; }
    int Verbose() const { return settings_.Verbose; }
    // Frame hook modules in chain order.
    const std::vector<TFrameHookEntry>& FrameHooks() const { return frameHooks_; }

protected:
    // ---- Options stage: internals -------------------------------------------------------
    using TOptionHandler = void (TCustomFFmpeg::*)(const std::string& name,
                                                   const std::string& value);
    struct TOptionEntry {
        const char* Name;
        TOptionHandler Handler;
    };
    static const std::vector<TOptionEntry>& OptionTable();

    // Generic option setter (unknown names, numeric target settings, preset lines).
    bool SetGenericOption(const std::string& name, const std::string& value);
    // Sets a codec option on one media type's default context only.
    bool SetTypedOption(AVMediaType type, const std::string& name, const std::string& value);
    void LogInfo(const std::string& text);
    void CheckBitRate(AVMediaType type);
    void SetCropBand(const std::string& name, const std::string& value);
    void SetCodecName(AVMediaType type, const std::string& value);
    TTargetNorm GuessTargetNorm(const std::string& fallbackNorm) const;
    void ApplyPresetText(const std::string& presetName, const std::string& text);
    void ReleaseFrameHooks();
    void AddFrameHook(const std::string& value);

    // General and file options.
    void OptDoNothing(const std::string& name, const std::string& value);
    void OptLogLevel(const std::string& name, const std::string& value);
    void OptFormat(const std::string& name, const std::string& value);
    void OptMap(const std::string& name, const std::string& value);
    void OptMapMetaData(const std::string& name, const std::string& value);
    void OptRecordingTime(const std::string& name, const std::string& value);
    void OptLimitFileSize(const std::string& name, const std::string& value);
    void OptStartTime(const std::string& name, const std::string& value);
    void OptInputTsOffset(const std::string& name, const std::string& value);
    void OptInputTsScale(const std::string& name, const std::string& value);
    void OptRecTimestamp(const std::string& name, const std::string& value);
    void OptMetadata(const std::string& name, const std::string& value);
    void OptDataFrames(const std::string& name, const std::string& value);
    void OptTimeLimit(const std::string& name, const std::string& value);
    void OptLoopOutput(const std::string& name, const std::string& value);
    void OptVerbose(const std::string& name, const std::string& value);
    void OptTarget(const std::string& name, const std::string& value);
    void OptThreads(const std::string& name, const std::string& value);
    void OptCopyTs(const std::string& name, const std::string& value);
    void OptExitOnError(const std::string& name, const std::string& value);
    void OptStreamId(const std::string& name, const std::string& value);

    // Video options (FFmpegOptionsStreams.cpp).
    void OptBitRate(const std::string& name, const std::string& value);
    void OptVideoFrames(const std::string& name, const std::string& value);
    void OptFrameRate(const std::string& name, const std::string& value);
    void OptFrameSize(const std::string& name, const std::string& value);
    void OptAspect(const std::string& name, const std::string& value);
    void OptPixelFormat(const std::string& name, const std::string& value);
    void OptCrop(const std::string& name, const std::string& value);
    void OptPad(const std::string& name, const std::string& value);
    void OptQScale(const std::string& name, const std::string& value);
    void OptText(const std::string& name, const std::string& value);
    void OptCodec(const std::string& name, const std::string& value);
    void OptPass(const std::string& name, const std::string& value);
    void OptVStats(const std::string& name, const std::string& value);
    void OptVStatsFile(const std::string& name, const std::string& value);
    void OptVideoHook(const std::string& name, const std::string& value);
    void OptMatrix(const std::string& name, const std::string& value);
    void OptCodecTag(const std::string& name, const std::string& value);
    void OptNewStream(const std::string& name, const std::string& value);

    // Audio and subtitle options.
    void OptAudioFrames(const std::string& name, const std::string& value);
    void OptAudioQScale(const std::string& name, const std::string& value);
    void OptSampleRate(const std::string& name, const std::string& value);
    void OptChannels(const std::string& name, const std::string& value);
    void OptSampleFormat(const std::string& name, const std::string& value);

    // Filters and presets.
    void OptBitstreamFilter(const std::string& name, const std::string& value);
    void OptPreset(const std::string& name, const std::string& value);

    TEngineSettings settings_;
    std::unique_ptr<TDefaultOptions> defaultOptions_;
    std::vector<TFrameHookEntry> frameHooks_;
    std::string lastError_;

    // ---- Input and output setup (FFmpegIO.cpp, FFmpegStreams.cpp) -------------------------
public:
    // Opens one input with the pending input settings. False with LastError on failure;
    // an unknown forced format or a failed allocation raise FFmpegException.
    bool AddInputFile(const std::string& fileName);
    // Creates one output with streams from the pending output settings and opens its file.
    // Returns the number of output entries, or -1 with LastError.
    int AddOutputFile(const std::string& fileName, bool join);
    // Looks an encoder or decoder up by name (encoder names of older libraries are
    // renamed). An empty name gives no codec and true; false with LastError on failure.
    bool FindCodec(const std::string& name, AVMediaType type, bool encoder, const AVCodec*& codec);
    int InputCount() const { return inputCount_; }
    int OutputCount() const { return outputCount_; }
    AVFormatContext* InputContext(int index) const {
        return inputFiles_.at(static_cast<size_t>(index));
    }
    // Expected length of the conversion in microseconds (TProgressInfo.TotalDuration).
    int64_t TotalDuration() const { return totalDuration_; }
    bool Joined() const { return joined_; }

protected:
    // Opened inputs and created outputs; owned and released by the input/output stage.
    // The option stage reads them for the automatic target norm and "newvideo" ...
    std::array<AVFormatContext*, kMaxFiles> inputFiles_{};
    int inputCount_ = 0;
    std::array<AVFormatContext*, kMaxFiles> outputFiles_{};
    int outputCount_ = 0;
    // Adds one stream of the given type to the last output ("newvideo", "newaudio",
    // "newsubtitle"); fails without an output.
    virtual void NewOutputStream(AVMediaType type);

    void ClearForcedDecoderNames();
    void NewStream(TOutputFile& output, AVMediaType type, const char* failurePrefix);
    TOutputStreamSetup& CreateStream(TOutputFile& output, AVMediaType type, const AVCodec* encoder);
    void NewVideoStream(TOutputFile& output);
    void NewAudioStream(TOutputFile& output);
    void NewSubtitleStream(TOutputFile& output);
    void ApplyEncodingDefaults(AVCodecContext& codec, AVMediaType type);
    const AVCodec* ChooseEncoder(const TOutputFile& output, AVMediaType type,
                                 const std::string& name);
    void ReleaseOutput(TOutputFile& output);
    // Closes every input and output (ResetEngine, destruction).
    void ReleaseFiles();

    std::array<TInputFile, kMaxFiles> inputs_{}; // facts of inputFiles_[i]
    std::vector<const AVCodec*> inputDecoders_;  // forced decoder per input stream, in order
    // Output entries; a joining output fills several entries with the same file.
    std::array<std::shared_ptr<TOutputFile>, kMaxFiles> outputs_{};
    bool joined_ = false;
    int64_t totalDuration_ = 0;

    // ---- Transcode setup (FFmpegSetup.cpp) --------------------------------------------------
    void TranscodeSetup();
    void BuildStreamTables();
    // The input stream an output stream of that type takes when no map names one.
    // joinInput >= 0: only streams of that input.
    int ChooseSourceStream(AVMediaType type, int joinInput, int outputIndex, int streamIndex);
    void PrepareStreamCopy(TOutputStream& ost);
    void PrepareEncoding(TOutputStream& ost, int outputPosition);
    // The encoder's layout and rate: the source's where "ac" / "ar" left them open, as near
    // as the encoder and the container allow.
    void ChooseAudioFormat(TOutputStream& ost, const TInputStream& ist);
    // Fails the task when a stream to be decoded has no decoder or no known format.
    void CheckDecodable(const TInputStream& ist);
    void OpenEncoders();
    // Opens an encoder with the task's encoder options; the library's result.
    int OpenEncoder(AVCodecContext& encoder, const AVCodec* codec);
    // A built graph; throws with the filter error as the task's error text.
    std::unique_ptr<TVideoFilterGraph> BuildFilterGraph(const TVideoFilterSpec& spec);
    void OpenDecoders();
    void CopyMetadataAndChapters();
    // The source's file tags into an output that no "map_meta_data" names (FFmpegMetadata.cpp).
    void CopySourceTags(AVFormatContext& output, const AVFormatContext& input) const;
    void OpenBitstreamFilters(TOutputStream& ost);
    void WriteHeaders();
    void LogStreamMapping();
    // The scaler flags ("sws_flags" of the generic options).
    int ScaleFlags() const;

    // The running conversion; exists from the set-up to the end of the task.
    std::unique_ptr<TTranscodeState> transcode_;

    // ---- Loop and frame path (FFmpegLoop.cpp, FFmpegOutput.cpp) -----------------------------
public:
    // Preview flags: bit 0 a preview window, bit 1 preview pictures through the callback.
    static constexpr int kPreviewWindowFlag = 1;
    static constexpr int kPreviewBitmapFlag = 2;
    using THookCallback =
        std::function<void(TCustomFFmpeg& task, TBitmap& bitmap, int frameNumber, int64_t frameTime,
                           bool& writeBack, bool& disableHook)>;
    using TPreviewCallback = std::function<void(TCustomFFmpeg& task, const TBitmap& bitmap,
                                                int frameNumber, int64_t frameTime)>;
    // Returns false once the window was closed.
    using TPreviewWindowCallback = std::function<bool(TCustomFFmpeg& task, const TBitmap& bitmap,
                                                      int frameNumber, int64_t frameTime)>;
    using TProgressCallback = std::function<void(TCustomFFmpeg& task, const TProgressInfo& info)>;

    // Converts from start to end in the calling thread. False when the task failed; see
    // Finished, Failed and ErrorMessage. Output files are finished and closed either way.
    bool RunConvert();
    void BreakConvert(); // asks the loop to stop; the outputs are still finished
    bool StopRequested() const;
    void PauseConvert(); // the loop waits, producing nothing, until resumed or stopped
    void ResumeConvert();
    bool Paused() const;
    bool Finished() const { return finished_; }
    bool Failed() const { return failed_; }
    const std::string& ErrorMessage() const { return errorMessage_; }

    void SetHookCallback(THookCallback callback) { hookCallback_ = std::move(callback); }
    void SetPreviewCallback(TPreviewCallback callback) { previewCallback_ = std::move(callback); }
    void SetPreviewWindowCallback(TPreviewWindowCallback callback) {
        previewWindowCallback_ = std::move(callback);
    }
    void SetProgressCallback(TProgressCallback callback) {
        progressCallback_ = std::move(callback);
    }
    int PreviewFlags() const;
    void SetPreviewFlags(int flags);
    int TaskIndex() const { return taskIndex_; }
    // Stage threads of the next conversion: on (the default), encoders run on threads of
    // their own beside decoding and the frame path; off, every stage runs one after another
    // in the converting thread. The files are the same either way.
    void SetStageThreads(bool on) { stageThreads_ = on; }
    bool StageThreads() const { return stageThreads_; }
    void SetTaskIndex(int index) { taskIndex_ = index; }

protected:
    void TranscodeLoop();
    int ChooseInput();
    void HandleInputPacket(int fileIndex, AVPacket* packet);
    int OutputPacket(TInputStream& ist, AVPacket* packet);
    bool StartTimeReached(const TInputStream& ist) const;
    // The kept part of a stream's timeline (microseconds, after the input's offset):
    // decoded frames before KeepFrom and from KeepUntil on are dropped. INT64_MIN and
    // INT64_MAX when unbounded.
    int64_t KeepFrom(const TInputStream& ist) const;
    int64_t KeepUntil() const;
    int SendToDecoder(TInputStream& ist, AVPacket* packet,
                      const std::function<void(AVFrame*)>& onFrame);
    // The decoded frame's time becomes the stream's current time.
    void TakeFrameTime(TInputStream& ist, const AVFrame& frame);
    // Through the stream's filter graph into video out; a null frame drains the graph.
    void FilterAndOutput(TOutputStream& ost, TInputStream& ist, AVFrame* frame);
    int DecodeVideo(TInputStream& ist, AVPacket* packet);
    int DecodeAudio(TInputStream& ist, AVPacket* packet);
    int DecodeSubtitle(TInputStream& ist, AVPacket* packet);
    void CopyPacket(TOutputStream& ost, const TInputStream& ist, const AVPacket* packet);
    void FlushInputStream(TInputStream& ist);
    bool FinishJoinedInput(int fileIndex);
    // Deinterlaces, turns upright and runs the hooks on a decoded picture; returns the picture
    // the outputs take (the decoder's, or the stream's upright copy).
    AVFrame& FramePath(TInputStream& ist, AVFrame& frame);
    // The stream's upright picture of frame; throws when the graph fails.
    AVFrame& Upright(TInputStream& ist, AVFrame& frame);
    void PrepareUpright(TInputStream& ist, const std::string& upright, bool swaps);
    void RunCustomHook(TInputStream& ist, AVFrame& frame);
    void Deinterlace(AVFrame& frame);
    void VideoOut(TOutputStream& ost, TInputStream& ist, AVFrame& picture);
    AVFrame* CropAndScale(TOutputStream& ost, TInputStream& ist, AVFrame& picture);
    // A picture of the encoder's size and format that no one else holds.
    AVFrame* ScaledPicture(TOutputStream& ost);
    void PreviewStep(const AVFrame& frame, AVRational timeBase);
    // trimHead: samples at the frame's start that lie before the kept part.
    void AudioOut(TOutputStream& ost, TInputStream& ist, AVFrame& samples, int trimHead);
    // Hands the FIFO's whole encoder frames to the encoder stage, a few thousand samples at
    // a time (flushing: the rest too, padded to a whole frame).
    void EncodeAudioFifo(TOutputStream& ost, bool flushing);
    // DV only: fills the sound up with silence to the end of the last picture.
    void PadSoundToPictures(TOutputStream& ost);
    void SubtitleOut(TOutputStream& ost, const TInputStream& ist, AVSubtitle& subtitle);
    // Runs on the stream's encoder stage: encodes one frame (null: drains the encoder) and
    // writes the packets it gives.
    void EncodeFrame(TOutputStream& ost, AVFrame* frame);
    // On the encoder stage: cuts a run of sound for an encoder of a fixed frame size into its
    // frames and encodes each.
    void EncodeAudioRun(TOutputStream& ost, const AVFrame& run);
    void SendToEncoder(TOutputStream& ost, AVFrame* frame);
    // On the encoder stage, for encoders whose repeats are written again (FFmpegRepeats.cpp):
    // true when frame repeats the last picture and was taken care of without the encoder.
    bool TakeRepeat(TOutputStream& ost, const AVFrame& frame);
    // The picture went to the encoder; its packet will come out in order.
    void NoteCoded(TOutputStream& ost, const AVFrame& frame);
    // After the packet of the oldest picture inside the encoder was written: its repeats.
    void WriteRepeats(TOutputStream& ost);
    void WriteRepeat(TOutputStream& ost, int64_t pts);
    // Counts, logs the statistics of and writes one packet in encoder time base.
    void WriteEncoded(TOutputStream& ost, AVPacket* packet, int64_t frameNumber, int64_t position);
    // Under OutputMutex.
    void ReadQualityStats(TOutputStream& ost, const AVPacket& packet);
    // Under OutputMutex. frameNumber: frames handed over before the packet's; position: in
    // encoder time base units.
    void WriteVideoStats(const TOutputStream& ost, const AVPacket& packet, int64_t frameNumber,
                         int64_t position);
    std::string QpHistogramText() const;
    std::string PsnrText(const TOutputStream& ost, bool final) const;
    void WritePacket(TOutputStream& ost, AVPacket* packet);
    void RunBitstreamFilters(TOutputStream& ost, AVPacket* packet, size_t index);
    void MuxPacket(TOutputStream& ost, AVPacket* packet);
    // Group encoders (FFmpegGroups.cpp): unopened copies of the stream's encoder when its
    // groups of pictures may be coded side by side; opened once the stream's own encoder is.
    std::vector<TCodecContextPtr> CopyForGroups(const TOutputStream& ost);
    void OpenGroupEncoders(TOutputStream& ost, std::vector<TCodecContextPtr> copies);
    void StartGroupStages(TOutputStream& ost, bool threaded);
    // From the frame path: the picture goes to its group's encoder (takes its reference).
    void PushToGroups(TOutputStream& ost, AVFrame* frame);
    // On a group encoder's stage: codes one picture (null: drains).
    void EncodeInGroup(TOutputStream& ost, TOutputStream::TGroupEncoder& group, AVFrame* frame);
    void FinishGroup(TOutputStream& ost, TOutputStream::TGroupEncoder& group);
    // Writes whatever finished groups are next in order (under the groups' mutex).
    void WriteFinishedGroups(TOutputStream& ost, bool all);
    // Starts an encoder stage per encoded video and audio stream (FFmpegStages.cpp).
    void StartEncoderStages();
    // Drains the encoders and waits for their stages; raises a stage's failure.
    void FlushEncoders();
    // Ends every stage without draining (a failure, or before the codecs are closed).
    void AbortStages();
    // Fails the task when an output stream received much less than its source holds (the
    // rest was lost on the way), so such an output is never reported as a success.
    void CheckStreamsComplete();
    void ReportProgress(int fileIndex, bool final);
    void WaitWhilePaused();
    // Writes the trailers not yet written.
    void WriteTrailers();
    // Codecs and files at the end of a conversion; deletes outputs left empty.
    void FinishOutputs();

    THookCallback hookCallback_;
    TPreviewCallback previewCallback_;
    TPreviewWindowCallback previewWindowCallback_;
    TProgressCallback progressCallback_;
    bool hookDisabled_ = false;
    bool stageThreads_ = true; // read-only while a conversion runs
    int previewFlags_ = 0;     // guarded by PreviewLock()
    int taskIndex_ = 0;
    std::vector<uint8_t> subtitleBuffer_;
    bool finished_ = false;
    bool failed_ = false;
    std::string errorMessage_;
    std::atomic<bool> stopRequested_{false};
    mutable std::mutex pauseMutex_; // guards paused_
    std::condition_variable pauseChanged_;
    bool paused_ = false;

    // ---- Worker threads, pause/stop and termination (FFmpegThreads.cpp) ----------------
public:
    // Called once at the very end of the task, in the thread that ended it.
    using TTerminateCallback = std::function<void(TCustomFFmpeg& task)>;
    void SetTerminateCallback(TTerminateCallback callback) {
        terminateCallback_ = std::move(callback);
    }
    void SetProgressInterval(int64_t microseconds) { settings_.ProgressInterval = microseconds; }

    // Starts the conversion; a task converts at most once. threaded: returns the worker,
    // created waiting (the caller resumes it). Otherwise converts in the calling thread and
    // returns null. A second start returns null and reports nothing; a start without an
    // output or input fails, reported through the termination callback, and returns null.
    TConvertThread* StartConvert(bool threaded, TThreadPriority priority);
    // Ends the task's life: not working, terminated, no worker; calls the callback.
    void NotifyTerminate();
    // Requests a stop; with wait, returns once the worker has ended (a main thread keeps
    // running the calls workers hand to it meanwhile).
    void BreakConvert(bool wait);
    // Stops a working task, or reports the end of a task that never ran.
    void StopConvert(bool wait);
    bool Working() const;
    bool Terminated() const;
    bool HasWorkerThread() const;

protected:
    // Releases the task's files after a conversion and before a failed start.
    virtual void CleanUpTask();
    // Stops the task and joins its threads; the owner calls it before freeing the task.
    void JoinTaskThreads();

private:
    // The conversion and the task's clean-up, in whichever thread runs the task.
    void ConvertAndCleanUp();
    void RunInWorker();

    TTerminateCallback terminateCallback_;
    mutable std::mutex threadMutex_;
    bool working_ = false;     // guarded by threadMutex_
    bool terminated_ = false;  // guarded by threadMutex_
    bool terminating_ = false; // guarded by threadMutex_: a termination thread reports the end
    bool hasWorker_ = false;   // guarded by threadMutex_: a worker runs the conversion
    std::unique_ptr<TConvertThread> worker_;              // guarded by threadMutex_
    std::unique_ptr<TDoTerminateThread> terminateThread_; // guarded by threadMutex_
    TManualResetEvent threadDone_{true};                  // not signalled while a worker converts
    TManualResetEvent terminateDone_{true}; // not signalled while a termination thread runs
};

// The process-wide lock of the preview flags of every task.
std::mutex& PreviewLock();

// One task of the engine component: the engine with a probe, input options and output
// options per file slot. A task must not be freed by its own worker thread.
class TFFmpeg : public TCustomFFmpeg {
public:
    TFFmpeg();
    ~TFFmpeg() override;
    // The probe of an input slot, created on first use.
    TMediaProbe& Probe(int inputIndex);
    TInputOptions& StoredInputOptions(int slot) {
        return inputOptions_.at(static_cast<size_t>(slot));
    }
    TOutputOptions& StoredOutputOptions(int slot) {
        return outputOptions_.at(static_cast<size_t>(slot));
    }

protected:
    void CleanUpTask() override;

private:
    std::array<std::unique_ptr<TMediaProbe>, kMaxFiles> probes_;
    std::array<TInputOptions, kMaxFiles> inputOptions_;
    std::array<TOutputOptions, kMaxFiles> outputOptions_;
};

} // namespace tovik
