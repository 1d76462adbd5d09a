// The player's queues and the display rule, without playing anything.

#include "media/FFmpegLoader.h"
#include "player/PacketQueue.h"
#include "player/PlayerEventQueue.h"
#include "player/PlayerScreen.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <thread>

namespace tovik {
namespace {

TPlayerEventRecord Position(int64_t value) {
    TPlayerEventRecord record;
    record.Kind = TPlayerEventKind::pePosition;
    record.Position = value;
    return record;
}

TPlayerEventRecord State(TPlayState state) {
    TPlayerEventRecord record;
    record.Kind = TPlayerEventKind::peState;
    record.State = state;
    return record;
}

std::vector<TPlayerEventRecord> TakeAll(TPlayerEventQueue& queue) {
    std::vector<TPlayerEventRecord> records;
    TPlayerEventRecord record;
    while (queue.Take(record))
        records.push_back(record);
    return records;
}

TEST(PlayerEventQueue, RecordsOfOneKindCollapseIntoTheNewest) {
    TPlayerEventQueue queue;
    queue.Post(State(TPlayState::psPause));
    queue.Post(State(TPlayState::psResume));
    const auto records = TakeAll(queue);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].State, TPlayState::psResume);
    EXPECT_FALSE(queue.WaitNotEmpty(std::chrono::milliseconds(0)));
}

TEST(PlayerEventQueue, ARecordOfAnotherKindBetweenKeepsBoth) {
    TPlayerEventQueue queue;
    queue.Post(State(TPlayState::psPause));
    queue.Post(Position(5));
    queue.Post(State(TPlayState::psResume));
    const auto records = TakeAll(queue);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].State, TPlayState::psPause);
    EXPECT_EQ(records[1].Position, 5);
    EXPECT_EQ(records[2].State, TPlayState::psResume);
}

TEST(PlayerEventQueue, ElevenPositionsBecomeOne) {
    TPlayerEventQueue queue;
    for (int i = 0; i < 11; ++i)
        queue.Post(Position(i * 1000));
    EXPECT_EQ(queue.PendingCount(), 1);
    const auto records = TakeAll(queue);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Position, 10000);
}

TEST(PlayerEventQueue, AFullRingDropsTheOldestAndHoldsNine) {
    TPlayerEventQueue queue;
    // Alternating kinds never collapse.
    for (int i = 0; i < 12; ++i)
        queue.Post(i % 2 ? State(TPlayState::psPlay) : Position(i));
    EXPECT_EQ(queue.PendingCount(), 9);
    const auto records = TakeAll(queue);
    ASSERT_EQ(records.size(), 9u);
    // Records 0, 1 and 2 were dropped: the oldest left is the state posted fourth.
    EXPECT_EQ(records[0].Kind, TPlayerEventKind::peState);
    EXPECT_EQ(records[1].Kind, TPlayerEventKind::pePosition);
    EXPECT_EQ(records[1].Position, 4);
    EXPECT_EQ(records.back().Kind, TPlayerEventKind::peState);
}

TEST(PlayerEventQueue, ATakenRecordIsNotOverwritten) {
    TPlayerEventQueue queue;
    queue.Post(Position(1));
    TPlayerEventRecord record;
    ASSERT_TRUE(queue.Take(record));
    queue.Post(Position(2));
    const auto records = TakeAll(queue);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Position, 2);
}

TEST(PlayerEventQueue, PostingWakesAWaiter) {
    TPlayerEventQueue queue;
    std::thread poster([&] { queue.Post(Position(7)); });
    queue.WaitNotEmpty();
    poster.join();
    TPlayerEventRecord record;
    ASSERT_TRUE(queue.Take(record));
    EXPECT_EQ(record.Position, 7);
}

TEST(DisplayRectangle, TheRulesInA400By300Output) {
    // The picture's own shape: 16:9 in 4:3 is letter-boxed, sizes even.
    EXPECT_EQ(DisplayRectangle(400, 300, 1280, 720, 1.0, 0), (TScreenRect{0, 38, 400, 224}));
    // Unknown sample aspect counts as square.
    EXPECT_EQ(DisplayRectangle(400, 300, 1280, 720, 0, 0), (TScreenRect{0, 38, 400, 224}));
    // Below 0: fill the output.
    EXPECT_EQ(DisplayRectangle(400, 300, 1280, 720, 1.0, -1), (TScreenRect{0, 0, 400, 300}));
    // A forced 2:1.
    EXPECT_EQ(DisplayRectangle(400, 300, 1280, 720, 1.0, 2.0), (TScreenRect{0, 50, 400, 200}));
    // A tall picture is pillar-boxed.
    EXPECT_EQ(DisplayRectangle(400, 300, 96, 160, 1.0, 0), (TScreenRect{110, 0, 180, 300}));
    // Anamorphic: 720 x 576 with 64:45 samples is 16:9 wide.
    EXPECT_EQ(DisplayRectangle(400, 300, 720, 576, 64.0 / 45.0, 0), (TScreenRect{0, 38, 400, 224}));
    EXPECT_EQ(DisplayRectangle(0, 300, 1280, 720, 1.0, 0), (TScreenRect{}));
}

class PacketQueueTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::LoadEngineLibrariesOrFail(); }
    static TPacketPtr PacketOfSize(int size) {
        TPacketPtr packet = MakePacket();
        EXPECT_EQ(ff::av_new_packet(packet.get(), size), 0);
        return packet;
    }
};

TEST_F(PacketQueueTest, CountsPacketsAndTheirBytesWithTheNodes) {
    TPacketQueue queue;
    queue.Put(PacketOfSize(1000));
    queue.Put(PacketOfSize(28));
    queue.PutFlush();
    EXPECT_EQ(queue.Count(), 3);
    EXPECT_EQ(queue.Size(), 1000 + 28 + 3 * kPacketNodeBytes);
    TPacketPtr packet;
    EXPECT_EQ(queue.Get(packet, false), TQueueEntry::qePacket);
    ASSERT_TRUE(packet);
    EXPECT_EQ(packet->size, 1000);
    EXPECT_EQ(queue.Size(), 28 + 2 * kPacketNodeBytes);
    EXPECT_EQ(queue.Get(packet, false), TQueueEntry::qePacket);
    EXPECT_EQ(queue.Get(packet, false), TQueueEntry::qeFlush);
    EXPECT_FALSE(packet);
    EXPECT_EQ(queue.Get(packet, false), TQueueEntry::qeNone);
    EXPECT_EQ(queue.Size(), 0);
}

TEST_F(PacketQueueTest, FlushDropsEverythingAndAbortWakesABlockedReader) {
    TPacketQueue queue;
    queue.Put(PacketOfSize(10));
    queue.PutEnd();
    queue.Flush();
    EXPECT_EQ(queue.Count(), 0);
    EXPECT_EQ(queue.Size(), 0);
    bool aborted = false;
    std::thread aborter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        queue.Abort();
    });
    TPacketPtr packet;
    EXPECT_EQ(queue.Get(packet, true, &aborted), TQueueEntry::qeNone);
    EXPECT_TRUE(aborted);
    aborter.join();
    queue.Start();
    queue.PutEnd();
    EXPECT_EQ(queue.Get(packet, true, &aborted), TQueueEntry::qeEnd);
    EXPECT_FALSE(aborted);
}

} // namespace
} // namespace tovik
