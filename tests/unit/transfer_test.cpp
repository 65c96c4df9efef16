#include <gtest/gtest.h>

#include "session/transfer.h"

namespace qz {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Kind = OutgoingFrame::Kind;

// Every event at one moment: the time a transfer may run is not what these tests are about.
constexpr TransferClock::time_point kT{};

// An image whose every byte tells its place: row r, byte c holds 16 r + c.
ConfigImage numberedImage() {
  ConfigImage image;
  for (int r = 0; r < kRows; ++r)
    for (int c = 0; c < kRowBytes; ++c) image(r, c) = static_cast<std::uint8_t>(16 * r + c);
  return image;
}

Bytes rowFrame(int r) {
  Bytes f = {0xD0, static_cast<std::uint8_t>(r)};
  for (int c = 0; c < kRowBytes; ++c) f.push_back(static_cast<std::uint8_t>(16 * r + c));
  f.push_back(0x55);
  return f;
}

Bytes request(int r) {
  const auto b = static_cast<std::uint8_t>(r);
  return {0xA2, b, b, 0xAA, 0xFE, 0xFF};
}

std::vector<Bytes> bytesOf(const TransferAction& a) {
  std::vector<Bytes> out;
  for (const auto& f : a.frames) out.emplace_back(f.frame.bytes().begin(), f.frame.bytes().end());
  return out;
}

// The controller takes rows 0 .. n-1 one by one and asks for row n.
void ackUpTo(Download& d, int n, const ConfigImage& image) {
  for (int r = 1; r <= n; ++r) d.acknowledged(static_cast<std::uint8_t>(r), image, kT);
}

Row uploadedRow(int r) {
  Row row{};
  for (int c = 0; c < kRowBytes; ++c)
    row[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(200 - r - c);
  return row;
}

TEST(DownloadTransfer, ControllerAskingRowByRowGetsTheWholeImageAndTheOptions) {
  const ConfigImage image = numberedImage();
  Download d;
  TransferAction a = d.start(image, 0x04, kT);
  ASSERT_EQ(a.frames.size(), 2U);
  EXPECT_EQ(a.frames[0].kind, Kind::DownloadRow);
  EXPECT_EQ(bytesOf(a)[0], rowFrame(0));
  EXPECT_EQ(a.frames[1].kind, Kind::ProtocolAndRunMode);
  EXPECT_EQ(bytesOf(a)[1],
            (Bytes{0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0x04, 0x5E, 0x4D, 0x3C, 0x2B, 0x1A}));
  EXPECT_EQ(a.threshold, 3);
  EXPECT_EQ(a.progressRow, 0);
  EXPECT_EQ(a.news, TransferNews::Started);
  EXPECT_TRUE(a.startTimer);
  EXPECT_FALSE(a.stopTimer);

  for (int n = 1; n <= 18; ++n) {
    a = d.acknowledged(static_cast<std::uint8_t>(n), image, kT);
    EXPECT_EQ(bytesOf(a), std::vector<Bytes>{rowFrame(n)}) << n;
    EXPECT_EQ(a.threshold, 3);
    EXPECT_EQ(a.progressRow, n);
    EXPECT_EQ(a.news, TransferNews::None);
    EXPECT_TRUE(a.startTimer);  // a repeat only after 200 ms without an answer
  }
  EXPECT_EQ(d.pendingRow(), 18);
  a = d.acknowledged(19, image, kT);
  EXPECT_TRUE(a.frames.empty());
  EXPECT_EQ(a.news, TransferNews::Succeeded);
  EXPECT_TRUE(d.done());

  // The panel stays up until the fifth tick after the last answer.
  for (int t = 1; t <= 4; ++t) {
    a = d.tick(image, kT);
    EXPECT_TRUE(a.frames.empty());
    EXPECT_FALSE(a.stopTimer || a.news != TransferNews::None) << t;
  }
  a = d.tick(image, kT);
  EXPECT_TRUE(a.news == TransferNews::Closed && a.stopTimer);
  EXPECT_TRUE(a.frames.empty());
  EXPECT_FALSE(d.running());

  // An answer with no download running is still followed, but starts no tick.
  a = d.acknowledged(3, image, kT);
  EXPECT_EQ(bytesOf(a), std::vector<Bytes>{rowFrame(3)});
  EXPECT_FALSE(a.startTimer);
}

TEST(DownloadTransfer, SilenceRepeatsFourTimesFailsAtTenClosesAtFifteen) {
  const ConfigImage image = numberedImage();
  Download d;
  d.start(image, 0x11, kT);
  ackUpTo(d, 4, image);
  for (int t = 1; t <= 15; ++t) {
    const TransferAction a = d.tick(image, kT);
    EXPECT_EQ(d.ticks(), t);
    EXPECT_EQ(bytesOf(a), t <= 4 ? std::vector<Bytes>{rowFrame(4)} : std::vector<Bytes>{}) << t;
    // Whatever waits goes before a repeat; a late answer after the repeats is kept.
    EXPECT_EQ(a.dropInput, t <= 4) << t;
    if (t <= 4) {
      EXPECT_EQ(a.progressRow, 4);
    }
    EXPECT_EQ(a.news == TransferNews::Failed, t == 10) << t;
    EXPECT_EQ(a.stopTimer && a.news == TransferNews::Closed, t == 15) << t;
  }
  EXPECT_FALSE(d.running());
  EXPECT_TRUE(d.tick(image, kT).frames.empty());
}

TEST(DownloadTransfer, FailureTextShowsAndALateAnswerCarriesOn) {
  const ConfigImage image = numberedImage();
  Download d;
  d.start(image, 0x11, kT);
  ackUpTo(d, 7, image);
  TransferAction a;
  for (int t = 1; t <= 10; ++t) a = d.tick(image, kT);
  EXPECT_EQ(a.news, TransferNews::Failed);
  d.tick(image, kT);
  d.tick(image, kT);
  // A controller that asks for an earlier row gets that row, again and again on the ticks.
  a = d.acknowledged(5, image, kT);
  EXPECT_EQ(bytesOf(a), std::vector<Bytes>{rowFrame(5)});
  EXPECT_EQ(d.ticks(), 0);
  a = d.tick(image, kT);
  EXPECT_EQ(bytesOf(a), std::vector<Bytes>{rowFrame(5)});
  EXPECT_EQ(a.news, TransferNews::None);
  for (int t = 2; t <= 14; ++t) EXPECT_FALSE(d.tick(image, kT).stopTimer) << t;
  EXPECT_TRUE(d.tick(image, kT).stopTimer);
}

TEST(DownloadTransfer, OnlyARowTheControllerCanWantIsAnAnswer) {
  // Row 5 is pending, sent for the answer "5"; two ticks have passed.
  struct Case {
    std::uint8_t ack;
    bool followed;
  };
  const Case cases[] = {
      {6, true},     // the next row
      {3, true},     // an earlier row, wanted again
      {0, true},     //
      {5, false},    // the answer that sent row 5, again
      {7, false},    // a row it cannot have been ready for
      {18, false},   //
      {19, false},   // every row stored, but rows 5..18 never went out
      {20, false},   // no such row
      {37, false},   // a flipped bit: 05 -> 25
      {255, false},  //
  };
  const ConfigImage image = numberedImage();
  for (const Case& c : cases) {
    Download d;
    d.start(image, 0x11, kT);
    ackUpTo(d, 5, image);
    d.tick(image, kT);
    d.tick(image, kT);
    const TransferAction a = d.acknowledged(c.ack, image, kT);
    EXPECT_EQ(bytesOf(a), c.followed ? std::vector<Bytes>{rowFrame(c.ack)} : std::vector<Bytes>{})
        << int(c.ack);
    EXPECT_EQ(a.news, TransferNews::None) << int(c.ack);
    EXPECT_EQ(d.ticks(), c.followed ? 0 : 2) << int(c.ack);
    if (!c.followed) {
      // The tick repeats row 5 as for silence.
      EXPECT_EQ(bytesOf(d.tick(image, kT)), std::vector<Bytes>{rowFrame(5)}) << int(c.ack);
    }
  }
}

TEST(DownloadTransfer, GivesUpAfterItsFramesOrItsTimeAndClosesAsASilentOne) {
  using std::chrono::milliseconds;
  const ConfigImage image = numberedImage();
  // A controller that keeps asking for rows 4 and 5 in turn: every answer is new, none ends.
  Download d;
  d.start(image, 0x11, kT);
  ackUpTo(d, 5, image);
  int frames = 6;
  TransferAction a;
  for (int i = 0; i < 200 && a.news == TransferNews::None; ++i) {
    a = d.acknowledged(static_cast<std::uint8_t>(4 + i % 2), image, kT);
    frames += static_cast<int>(a.frames.size());
  }
  EXPECT_EQ(frames, 95);
  EXPECT_EQ(d.framesSent(), 95);
  EXPECT_TRUE(a.frames.empty());
  EXPECT_EQ(a.news, TransferNews::Failed);
  EXPECT_EQ(d.failure(), TransferEnd::FrameBudget);
  EXPECT_TRUE(d.acknowledged(5, image, kT).frames.empty());
  for (int t = 1; t <= 4; ++t) EXPECT_TRUE(d.tick(image, kT).frames.empty()) << t;
  EXPECT_TRUE(d.acknowledged(19, image, kT).frames.empty());
  a = d.tick(image, kT);
  EXPECT_TRUE(a.stopTimer && a.news == TransferNews::Closed);
  EXPECT_FALSE(d.done());

  // A controller that answers, but too slowly for 30 s: the answer after them sends nothing.
  Download slow;
  slow.start(image, 0x11, kT);
  ackUpTo(slow, 3, image);
  EXPECT_EQ(bytesOf(slow.tick(image, kT + milliseconds(29'999))), std::vector<Bytes>{rowFrame(3)});
  a = slow.acknowledged(4, image, kT + milliseconds(30'000));
  EXPECT_TRUE(a.frames.empty());
  EXPECT_EQ(a.news, TransferNews::Failed);
  EXPECT_EQ(slow.failure(), TransferEnd::TimeBudget);

  // Silence after a late tick: the tick itself gives up.
  Upload u;
  u.start(kT);
  u.rowReceived(0, uploadedRow(0), kT);
  a = u.tick(kT + milliseconds(30'000));
  EXPECT_TRUE(a.frames.empty());
  EXPECT_EQ(a.news, TransferNews::Failed);
  EXPECT_EQ(u.failure(), TransferEnd::TimeBudget);
  EXPECT_TRUE(u.rowReceived(1, uploadedRow(1), kT).frames.empty());
  for (int t = 1; t <= 4; ++t) EXPECT_FALSE(u.tick(kT).stopTimer) << t;
  EXPECT_TRUE(u.tick(kT).stopTimer);
}

TEST(DownloadTransfer, StoppedByTheConnectionSendsNothingMore) {
  const ConfigImage image = numberedImage();
  Download d;
  d.start(image, 0x11, kT);
  ackUpTo(d, 3, image);
  TransferAction a = d.stop();
  EXPECT_TRUE(a.frames.empty());
  EXPECT_TRUE(a.stopTimer && a.news == TransferNews::Interrupted);
  EXPECT_FALSE(d.done());  // so it failed
  EXPECT_TRUE(d.tick(image, kT).frames.empty());
  // A second stop, or one with nothing running, does nothing.
  a = d.stop();
  EXPECT_FALSE(a.stopTimer || a.news != TransferNews::None);

  // A download that has succeeded stays a success.
  Download ok;
  ok.start(image, 0x11, kT);
  ackUpTo(ok, 19, image);
  a = ok.stop();
  EXPECT_TRUE(a.stopTimer && a.news == TransferNews::Interrupted);
  EXPECT_TRUE(ok.done());
}

TEST(UploadTransfer, AllRowsReplaceTheImageOnlyAtTheEnd) {
  Upload u;
  TransferAction a = u.start(kT);
  EXPECT_EQ(bytesOf(a), std::vector<Bytes>{request(0)});
  EXPECT_EQ(a.frames[0].kind, Kind::UploadRequest);
  EXPECT_EQ(a.threshold, 14);
  EXPECT_EQ(a.progressRow, 0);
  EXPECT_EQ(a.news, TransferNews::Started);
  EXPECT_TRUE(a.startTimer);

  for (int r = 0; r <= 18; ++r) {
    a = u.rowReceived(static_cast<std::uint8_t>(r), uploadedRow(r), kT);
    ASSERT_TRUE(a.arrived);
    EXPECT_EQ(a.arrived->row, r);
    EXPECT_EQ(a.arrived->data, uploadedRow(r));
    // The request after row 18 is for row 19.
    EXPECT_EQ(bytesOf(a), std::vector<Bytes>{request(r + 1)}) << r;
    EXPECT_EQ(a.threshold, 14);
    EXPECT_EQ(a.progressRow, r);
    EXPECT_EQ(a.image.has_value(), r == 18) << r;
    EXPECT_EQ(a.news != TransferNews::None, r == 18) << r;
  }
  EXPECT_EQ(a.news, TransferNews::Succeeded);
  for (int r = 0; r <= 18; ++r)
    EXPECT_EQ(a.image->rows[static_cast<std::size_t>(r)], uploadedRow(r));
  EXPECT_TRUE(u.done());
  EXPECT_EQ(u.requestedRow(), 19);
  for (int t = 1; t <= 4; ++t) {
    a = u.tick(kT);
    EXPECT_TRUE(a.frames.empty());
    EXPECT_FALSE(a.dropInput || a.stopTimer);
  }
  a = u.tick(kT);
  EXPECT_TRUE(a.news == TransferNews::Closed && a.stopTimer);
}

TEST(UploadTransfer, SilenceDropsInputRepeatsTheRequestFailsAndCloses) {
  Upload u;
  u.start(kT);
  u.rowReceived(0, uploadedRow(0), kT);
  u.rowReceived(1, uploadedRow(1), kT);
  for (int t = 1; t <= 15; ++t) {
    const TransferAction a = u.tick(kT);
    EXPECT_TRUE(a.dropInput);
    EXPECT_EQ(bytesOf(a), t <= 4 ? std::vector<Bytes>{request(2)} : std::vector<Bytes>{}) << t;
    EXPECT_EQ(a.news == TransferNews::Failed, t == 10) << t;
    EXPECT_EQ(a.stopTimer, t == 15) << t;
    EXPECT_FALSE(a.image);
  }
  EXPECT_FALSE(u.running());
}

TEST(UploadTransfer, TheSameRowAgainAsksForNothingMore) {
  Upload u;
  u.start(kT);
  for (int r = 0; r <= 3; ++r) u.rowReceived(static_cast<std::uint8_t>(r), uploadedRow(r), kT);
  u.tick(kT);
  // Row 3 a second time, as it came: shown, but nothing to store or ask for.
  TransferAction a = u.rowReceived(3, uploadedRow(3), kT);
  EXPECT_TRUE(a.frames.empty());
  EXPECT_TRUE(a.arrived && !a.startTimer);
  EXPECT_EQ(u.ticks(), 1);
  // With other bytes it is a new answer, and is followed.
  Row other = uploadedRow(3);
  other[0] ^= 1;
  a = u.rowReceived(3, other, kT);
  EXPECT_EQ(bytesOf(a), std::vector<Bytes>{request(4)});
  EXPECT_EQ(a.arrived->data, other);
  EXPECT_EQ(u.staged().rows[3], other);
  // An earlier row again is followed too: its successor is asked for once more.
  EXPECT_EQ(bytesOf(u.rowReceived(1, uploadedRow(1), kT)), std::vector<Bytes>{request(2)});
}

TEST(UploadTransfer, ALastRowWithoutTheOthersIsNoImage) {
  Upload u;
  u.start(kT);
  for (int r = 0; r <= 18; ++r) u.rowReceived(static_cast<std::uint8_t>(r), uploadedRow(r), kT);
  // A second upload starts again at row 0; its first reply is lost and a stale row 18 comes.
  u.start(kT);
  TransferAction a = u.rowReceived(18, uploadedRow(18), kT);
  EXPECT_FALSE(a.image);
  EXPECT_FALSE(u.done());
  EXPECT_EQ(a.news, TransferNews::Incomplete);
  EXPECT_TRUE(a.arrived);  // the line came, so it is shown
  // The missing rows still complete it.
  for (int r = 0; r <= 17; ++r) u.rowReceived(static_cast<std::uint8_t>(r), uploadedRow(r), kT);
  a = u.rowReceived(18, uploadedRow(18), kT);
  ASSERT_TRUE(a.image);
  EXPECT_EQ(a.news, TransferNews::Succeeded);
}

TEST(UploadTransfer, RowBeyondTheImageIsDroppedAndStopEndsTheUpload) {
  Upload u;
  u.start(kT);
  u.tick(kT);
  u.tick(kT);
  TransferAction a = u.rowReceived(19, uploadedRow(0), kT);
  EXPECT_TRUE(a.frames.empty());
  EXPECT_FALSE(a.arrived || a.news != TransferNews::None || a.progressRow);
  EXPECT_EQ(u.ticks(), 2);
  EXPECT_EQ(u.requestedRow(), 0);
  EXPECT_FALSE(u.received().any());

  u.rowReceived(0, uploadedRow(0), kT);
  a = u.stop();
  EXPECT_TRUE(a.frames.empty());
  EXPECT_FALSE(a.dropInput);
  EXPECT_TRUE(a.stopTimer && a.news == TransferNews::Interrupted);
  EXPECT_FALSE(u.done());
  EXPECT_FALSE(a.image);
  EXPECT_FALSE(u.tick(kT).dropInput);
}

TEST(UploadTransfer, RowsAfterTheUploadClosedChangeNothing) {
  Upload u;
  u.start(kT);
  for (int r = 0; r <= 17; ++r) u.rowReceived(static_cast<std::uint8_t>(r), uploadedRow(r), kT);
  for (int t = 1; t <= 15; ++t) u.tick(kT);  // row 18 never came: failed and closed
  ASSERT_FALSE(u.running());
  // It comes late; the user was told the upload failed, and it stays failed.
  TransferAction a = u.rowReceived(18, uploadedRow(18), kT);
  EXPECT_FALSE(a.image);
  EXPECT_FALSE(a.news != TransferNews::None || a.progressRow || a.startTimer);
  EXPECT_TRUE(a.frames.empty());
  EXPECT_EQ(a.arrived->data, uploadedRow(18));
  EXPECT_FALSE(u.done());
  // After a finished upload a stray row 0 asks for nothing more either.
  u.start(kT);
  for (int r = 0; r <= 18; ++r) u.rowReceived(static_cast<std::uint8_t>(r), uploadedRow(r), kT);
  for (int t = 1; t <= 5; ++t) u.tick(kT);
  ASSERT_FALSE(u.running());
  a = u.rowReceived(0, uploadedRow(0), kT);
  EXPECT_EQ(a.arrived->row, 0);
  EXPECT_TRUE(a.frames.empty());
  EXPECT_FALSE(a.image || a.startTimer);
}

}  // namespace
}  // namespace qz
