#include <gtest/gtest.h>

#include "ui/transfer_words.h"

namespace qz {
namespace {

TEST(TransferDisplay, PercentFillAndHexLine) {
  EXPECT_EQ(progressPercent(0), 0);
  EXPECT_EQ(progressPercent(1), 6);
  EXPECT_EQ(progressPercent(9), 50);
  EXPECT_EQ(progressPercent(10), 56);  // 55.5: the even neighbour
  EXPECT_EQ(progressPercent(17), 94);  // 94.35
  EXPECT_EQ(progressPercent(18), 100);
  EXPECT_EQ(progressFillWidth(0, 90), 0);
  EXPECT_EQ(progressFillWidth(9, 90), 45);
  EXPECT_EQ(progressFillWidth(18, 90), 90);
  EXPECT_EQ(progressFillWidth(1, 90), 5);

  const Row row = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 10};
  EXPECT_EQ(historyHexLine(row), "01 00 00 00 00 00 00 00 00 00 00 0A ");
  EXPECT_EQ(historyHexLine({0xFF, 0xAB, 0x0C, 0x10, 0, 0, 0, 0, 0, 0, 0, 0x7F}),
            "FF AB 0C 10 00 00 00 00 00 00 00 7F ");
}

}  // namespace
}  // namespace qz
