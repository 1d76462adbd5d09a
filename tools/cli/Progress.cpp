#include "cli/Progress.h"

#include <unistd.h>

namespace tovik::cli {

TProgressStyle ProgressStyleFor(std::FILE* stream, bool quiet) {
    if (quiet)
        return TProgressStyle::psNone;
    return ::isatty(::fileno(stream)) ? TProgressStyle::psRedrawn : TProgressStyle::psPlainLines;
}

TProgressPrinter::TProgressPrinter(std::FILE* stream, TProgressStyle style,
                                   TClock::duration interval)
    : stream_(stream), style_(style), interval_(interval) {}

void TProgressPrinter::Update(const std::string& text, TClock::time_point now) {
    switch (style_) {
    case TProgressStyle::psNone:
        return;
    case TProgressStyle::psRedrawn: {
        // Blanks over the rest of a longer earlier line.
        const size_t pad = lastWidth_ > text.size() ? lastWidth_ - text.size() : 0;
        std::fprintf(stream_, "\r%s%*s", text.c_str(), static_cast<int>(pad), "");
        std::fflush(stream_);
        lastWidth_ = text.size();
        lineOpen_ = true;
        return;
    }
    case TProgressStyle::psPlainLines:
        if (printedThisFile_ && now - lastLine_ < interval_)
            return;
        if (!printedThisFile_) {
            // The first update of a file only starts its clock: a short file gets one line.
            printedThisFile_ = true;
            lastLine_ = now;
            return;
        }
        std::fprintf(stream_, "%s\n", text.c_str());
        std::fflush(stream_);
        lastLine_ = now;
        return;
    }
}

void TProgressPrinter::Finish(const std::string& text) {
    switch (style_) {
    case TProgressStyle::psNone:
        break;
    case TProgressStyle::psRedrawn:
        Update(text);
        BreakLine();
        break;
    case TProgressStyle::psPlainLines:
        std::fprintf(stream_, "%s\n", text.c_str());
        std::fflush(stream_);
        break;
    }
    printedThisFile_ = false;
    lastWidth_ = 0;
}

void TProgressPrinter::BreakLine() {
    if (!lineOpen_)
        return;
    std::fputc('\n', stream_);
    std::fflush(stream_);
    lineOpen_ = false;
    lastWidth_ = 0;
}

} // namespace tovik::cli
