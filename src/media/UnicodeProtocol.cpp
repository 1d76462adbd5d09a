#include "media/UnicodeProtocol.h"

#include "media/LibraryBindings.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace tovik {

namespace {

constexpr std::string_view kKnownProtocols =
    ":unicode:stream:gopher:http:pipe:rtp:tcp:udp:file:https:rtsp:rtmp:ftp:";
constexpr int kIOBufferSize = 64 * 1024;

std::atomic<bool> g_protocolRegistered{false};

bool IsValidUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t extra = 0;
        if (lead < 0x80)
            extra = 0;
        else if (lead >= 0xC2 && lead <= 0xDF)
            extra = 1;
        else if (lead >= 0xE0 && lead <= 0xEF)
            extra = 2;
        else if (lead >= 0xF0 && lead <= 0xF4)
            extra = 3;
        else
            return false;
        if (text.size() - i <= extra)
            return false;
        for (size_t k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += extra + 1;
    }
    return true;
}

bool IsKnownProtocolUrl(std::string_view name) {
    auto colon = name.find(':');
    if (colon == std::string_view::npos || colon == 0)
        return false;
    std::string scheme = ":" + std::string(name.substr(0, colon)) + ":";
    return kKnownProtocols.find(scheme) != std::string_view::npos;
}

// The kit's own file I/O behind an AVIOContext.
struct TKitFile {
    int fd = -1;
};

int KitRead(void* opaque, uint8_t* buffer, int size) {
    auto* file = static_cast<TKitFile*>(opaque);
    ssize_t done;
    do {
        done = ::read(file->fd, buffer, static_cast<size_t>(size));
    } while (done < 0 && errno == EINTR);
    if (done < 0)
        return AVERROR(errno);
    return done == 0 ? AVERROR_EOF : static_cast<int>(done);
}

int KitWrite(void* opaque, uint8_t* buffer, int size) {
    auto* file = static_cast<TKitFile*>(opaque);
    int total = 0;
    while (total < size) {
        ssize_t done = ::write(file->fd, buffer + total, static_cast<size_t>(size - total));
        if (done < 0 && errno == EINTR)
            continue;
        if (done < 0)
            return AVERROR(errno);
        total += static_cast<int>(done);
    }
    return total;
}

int64_t KitSeek(void* opaque, int64_t position, int whence) {
    auto* file = static_cast<TKitFile*>(opaque);
    if (whence & AVSEEK_SIZE) {
        struct stat info {};
        return ::fstat(file->fd, &info) == 0 ? static_cast<int64_t>(info.st_size) : AVERROR(errno);
    }
    off_t result = ::lseek(file->fd, static_cast<off_t>(position), whence & ~AVSEEK_FORCE);
    return result < 0 ? AVERROR(errno) : static_cast<int64_t>(result);
}

int OpenKitFile(AVIOContext** pb, const std::string& fileName, int flags) {
    int openFlags = O_CLOEXEC;
    if ((flags & AVIO_FLAG_READ_WRITE) == AVIO_FLAG_READ_WRITE)
        openFlags |= O_RDWR | O_CREAT | O_TRUNC;
    else if (flags & AVIO_FLAG_WRITE)
        openFlags |= O_WRONLY | O_CREAT | O_TRUNC;
    else
        openFlags |= O_RDONLY;
    auto file = std::make_unique<TKitFile>();
    file->fd = ::open(fileName.c_str(), openFlags, 0666);
    if (file->fd < 0)
        return AVERROR(errno);
    struct stat info {};
    if (::fstat(file->fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(file->fd);
        return AVERROR(EISDIR);
    }
    auto* buffer = static_cast<unsigned char*>(ff::av_malloc(kIOBufferSize));
    if (!buffer) {
        ::close(file->fd);
        return AVERROR(ENOMEM);
    }
    const bool writing = (flags & AVIO_FLAG_WRITE) != 0;
    AVIOContext* context = ff::avio_alloc_context(buffer, kIOBufferSize, writing ? 1 : 0,
                                                  file.get(), writing ? nullptr : &KitRead,
                                                  writing ? &KitWrite : nullptr, &KitSeek);
    if (!context) {
        ff::av_free(buffer);
        ::close(file->fd);
        return AVERROR(ENOMEM);
    }
    if ((flags & AVIO_FLAG_READ_WRITE) == AVIO_FLAG_READ_WRITE)
        context->read_packet = &KitRead;
    context->seekable = S_ISREG(info.st_mode) ? AVIO_SEEKABLE_NORMAL : 0;
    (void)file.release(); // now owned by the context's opaque; freed in CloseLibraryIO
    *pb = context;
    return 0;
}

int KitIOOpen(AVFormatContext* context, AVIOContext** pb, const char* url, int flags,
              AVDictionary** options) {
    if (std::string_view(url).starts_with(kUnicodePrefix))
        return OpenLibraryIO(pb, url, flags, options);
    return ff::avio_open2(pb, url, flags, &context->interrupt_callback, options);
}

int KitIOClose(AVFormatContext*, AVIOContext* pb) {
    CloseLibraryIO(&pb);
    return 0;
}

} // namespace

std::string NameForLibrary(const std::string& name) {
    if (name.size() + std::string_view(kUnicodePrefix).size() >= kMaxLibraryNameLength)
        throw std::length_error("File name is too long (" + std::to_string(name.size()) +
                                " bytes): " + name.substr(0, 64) + "...");
    if (IsKnownProtocolUrl(name))
        return name;
    // A ':' would be read as a protocol by the libraries; bytes that are not UTF-8 would not
    // survive their text handling.
    if (name.find(':') != std::string::npos || !IsValidUtf8(name))
        return std::string(kUnicodePrefix) + name;
    return name;
}

std::string NameFromLibrary(const std::string& libraryName) {
    if (libraryName.size() >= 14 && libraryName.starts_with(kUnicodePrefix))
        return libraryName.substr(std::string_view(kUnicodePrefix).size());
    return libraryName;
}

bool RegisterUnicodeProtocol() {
    return !g_protocolRegistered.exchange(true);
}

bool UnicodeProtocolRegistered() {
    return g_protocolRegistered.load();
}

bool IsKitFileIO(const AVIOContext* pb) {
    return pb && (pb->read_packet == &KitRead || pb->write_packet == &KitWrite);
}

int OpenLibraryIO(AVIOContext** pb, const std::string& libraryName, int flags,
                  AVDictionary** options) {
    *pb = nullptr;
    if (libraryName.starts_with(kUnicodePrefix))
        return OpenKitFile(pb, NameFromLibrary(libraryName), flags);
    return ff::avio_open2(pb, libraryName.c_str(), flags, nullptr, options);
}

void CloseLibraryIO(AVIOContext** pb) {
    if (!pb || !*pb)
        return;
    if (!IsKitFileIO(*pb)) {
        ff::avio_closep(pb);
        return;
    }
    AVIOContext* context = *pb;
    *pb = nullptr;
    ff::avio_flush(context);
    std::unique_ptr<TKitFile> file(static_cast<TKitFile*>(context->opaque));
    ff::av_freep(static_cast<void*>(&context->buffer));
    ff::avio_context_free(&context);
    if (file && file->fd >= 0)
        ::close(file->fd);
}

void InstallKitFileIO(AVFormatContext* context) {
    context->io_open = &KitIOOpen;
    context->io_close2 = &KitIOClose;
}

int OpenInputFormat(AVFormatContext** context, const std::string& libraryName,
                    const AVInputFormat* format, AVDictionary** options) {
    if (!*context)
        *context = ff::avformat_alloc_context();
    if (!*context)
        return AVERROR(ENOMEM);
    if (!libraryName.starts_with(kUnicodePrefix))
        return ff::avformat_open_input(context, libraryName.c_str(), format, options);
    // Our own file I/O: the context then counts as custom I/O, which the libraries leave
    // for us to close.
    AVIOContext* pb = nullptr;
    int result = OpenLibraryIO(&pb, libraryName, AVIO_FLAG_READ);
    if (result < 0) {
        ff::avformat_free_context(*context);
        *context = nullptr;
        return result;
    }
    (*context)->pb = pb;
    InstallKitFileIO(*context);
    result = ff::avformat_open_input(context, libraryName.c_str(), format, options);
    if (result < 0) // the libraries freed the context but not our I/O
        CloseLibraryIO(&pb);
    return result;
}

void CloseInputFormat(AVFormatContext** context) {
    if (!context || !*context)
        return;
    AVIOContext* pb = nullptr;
    if (((*context)->flags & AVFMT_FLAG_CUSTOM_IO) && IsKitFileIO((*context)->pb))
        pb = (*context)->pb;
    ff::avformat_close_input(context);
    CloseLibraryIO(&pb);
}

} // namespace tovik
