// The live picture slot between a worker and its runner: pictures cross intact, growing with
// the picture size, and a full slot is never written over.
#include "effects/SharedPicture.h"

#include "support/BitmapSupport.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace tovik {
namespace {

TEST(SharedPictureTest, PicturesCrossInTurnsAndTheSlotGrows) {
    TSharedPicture runner;
    ASSERT_TRUE(runner.Valid());
    TSharedPicture worker(::dup(runner.Fd()));
    ASSERT_TRUE(worker.Valid());

    TBitmap taken;
    int frame = 0;
    int64_t time = 0;
    uint32_t sequence = 0;
    EXPECT_FALSE(runner.Take(taken, frame, time, sequence)); // nothing yet

    // An odd width: rows are padded, and the padding must not shift the rows.
    const TBitmap small = test::RandomBitmap(33, 17, 1);
    ASSERT_TRUE(worker.Publish(small, 5, 200000));
    // Full: the next picture waits for the runner instead of overwriting the first.
    EXPECT_FALSE(worker.Publish(test::RandomBitmap(33, 17, 9), 6, 240000));
    ASSERT_TRUE(runner.Take(taken, frame, time, sequence));
    EXPECT_TRUE(test::SamePixels(taken, small));
    EXPECT_EQ(frame, 5);
    EXPECT_EQ(time, 200000);
    EXPECT_EQ(sequence, 1u);
    EXPECT_FALSE(runner.Take(taken, frame, time, sequence)); // taken once only

    // A larger picture grows the segment; the runner maps the larger size.
    const TBitmap large = test::RandomBitmap(1280, 720, 3);
    ASSERT_TRUE(worker.Publish(large, 7, 280000));
    ASSERT_TRUE(runner.Take(taken, frame, time, sequence));
    EXPECT_TRUE(test::SamePixels(taken, large));
    EXPECT_EQ(sequence, 2u);
}

TEST(SharedPictureTest, NothingIsPublishedWithoutASegment) {
    TSharedPicture none(-1);
    EXPECT_FALSE(none.Valid());
    EXPECT_FALSE(none.Publish(test::RandomBitmap(4, 4, 0), 1, 0));
    TBitmap taken;
    int frame = 0;
    int64_t time = 0;
    uint32_t sequence = 0;
    EXPECT_FALSE(none.Take(taken, frame, time, sequence));
    TSharedPicture empty;
    EXPECT_FALSE(empty.Publish(TBitmap(), 1, 0)); // an empty picture is no picture
}

} // namespace
} // namespace tovik
