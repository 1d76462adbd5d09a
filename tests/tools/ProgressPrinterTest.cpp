#include "cli/Progress.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

namespace tovik::cli {
namespace {

using namespace std::chrono_literals;

// Collects what a printer writes.
class Captured {
public:
    Captured() : file_(std::tmpfile(), &std::fclose) {}
    std::FILE* File() const { return file_.get(); }
    std::string Text() const {
        std::fflush(file_.get());
        std::rewind(file_.get());
        std::string text;
        for (int c; (c = std::fgetc(file_.get())) != EOF;)
            text += static_cast<char>(c);
        return text;
    }

private:
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_;
};

TEST(ProgressPrinterTest, PlainLinesComeEveryIntervalAndAtTheEndWithoutCarriageReturns) {
    Captured out;
    TProgressPrinter printer(out.File(), TProgressStyle::psPlainLines, 5s);
    const auto start = TProgressPrinter::TClock::time_point{} + 100s;
    printer.Update("a 1%", start);       // starts the file's clock only
    printer.Update("a 20%", start + 4s); // too soon
    printer.Update("a 50%", start + 5s);
    printer.Update("a 60%", start + 9s); // too soon after the last line
    printer.Update("a 90%", start + 10s);
    printer.Finish("a: done");
    // The next file starts its own clock.
    printer.Update("b 1%", start + 11s);
    printer.Finish("b: done");
    EXPECT_EQ(out.Text(), "a 50%\na 90%\na: done\nb: done\n");
}

TEST(ProgressPrinterTest, ARedrawnLineOverwritesLongerTextAndEndsBeforeOtherOutput) {
    Captured out;
    TProgressPrinter printer(out.File(), TProgressStyle::psRedrawn);
    printer.Update("long text");
    printer.Update("short");
    printer.BreakLine();
    printer.BreakLine(); // nothing open: no empty line
    printer.Finish("done");
    EXPECT_EQ(out.Text(), "\rlong text\rshort    \n\rdone\n");
}

TEST(ProgressPrinterTest, QuietPrintsNothing) {
    Captured out;
    TProgressPrinter printer(out.File(), TProgressStyle::psNone);
    printer.Update("x");
    printer.Finish("y");
    printer.BreakLine();
    EXPECT_EQ(out.Text(), "");
    EXPECT_EQ(ProgressStyleFor(out.File(), true), TProgressStyle::psNone);
    EXPECT_EQ(ProgressStyleFor(out.File(), false), TProgressStyle::psPlainLines);
}

} // namespace
} // namespace tovik::cli
