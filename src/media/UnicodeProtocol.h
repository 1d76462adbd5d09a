#pragma once
// File names handed to the libraries. A name that the libraries would misread (one with a
// ':' that is not a known protocol, or bytes that are not UTF-8) travels as
// "unicode:utf8:<name>" and is opened through the kit's own file I/O on an AVIOContext,
// because the current libraries cannot register a protocol of ours. Other names pass
// unchanged. Every function here is safe to call from several threads at once.

#include <string>

struct AVFormatContext;
struct AVInputFormat;
struct AVIOContext;
struct AVDictionary;

namespace tovik {

inline constexpr const char* kUnicodePrefix = "unicode:utf8:";
// Names of this length in bytes or more are refused (std::length_error).
inline constexpr size_t kMaxLibraryNameLength = 4096;

// The name to give the libraries for a file name or URL. Throws std::length_error for a
// name too long to be a file name.
std::string NameForLibrary(const std::string& name);
// The file name back from a name the libraries hold.
std::string NameFromLibrary(const std::string& libraryName);

// Kept from the time protocols were registered with the libraries: marks the protocol as
// available once per process. Returns true the first time.
bool RegisterUnicodeProtocol();
bool UnicodeProtocolRegistered();

// Opens libraryName for reading (AVIO_FLAG_READ), writing (AVIO_FLAG_WRITE) or both, either
// through the kit's file I/O ("unicode:utf8:" names) or through avio_open2. Returns 0 or a
// negative library error code.
int OpenLibraryIO(AVIOContext** pb, const std::string& libraryName, int flags,
                  AVDictionary** options = nullptr);
// Closes a context opened by OpenLibraryIO (either kind) and sets *pb to null.
void CloseLibraryIO(AVIOContext** pb);
bool IsKitFileIO(const AVIOContext* pb);

// avformat_open_input for any library name; on success the context can reopen related files
// (sequences, playlists) by "unicode:" names too. Close it with CloseInputFormat.
int OpenInputFormat(AVFormatContext** context, const std::string& libraryName,
                    const AVInputFormat* format, AVDictionary** options);
void CloseInputFormat(AVFormatContext** context);
// Lets a muxer or demuxer context open and close further files by "unicode:" names.
void InstallKitFileIO(AVFormatContext* context);

} // namespace tovik
