// The clock line and the history's header, from the date and the time of day.

#include <gtest/gtest.h>

#include "ui/clock_text.h"

namespace qz {
namespace {

TEST(Editor, ClockAndHistoryTexts) {
  EXPECT_EQ(clockCaption(2019, 7, 1, 2, "14:05:09"), "2019年07月01日 14:05:09 星期一");
  EXPECT_EQ(clockCaption(2019, 7, 7, 1, "00:00:00"), "2019年07月07日 00:00:00 星期日");
  EXPECT_EQ(clockCaption(2019, 7, 6, 7, "23:59:59"), "2019年07月06日 23:59:59 星期六");
  EXPECT_EQ(clockCaption(2020, 3, 5, 5, "9:08:07 AM"), "2020年03月05日 9:08:07 AM 星期四");
  EXPECT_EQ(clockCaption(987, 12, 31, 3, "12:00:01"), "0987年12月31日 12:00:01 星期二");
  EXPECT_EQ(uploadHeader(2019, 7, 1, "14:05:09"), "上传参数 2019-07-01 14:05:09");
  EXPECT_EQ(uploadHeader(2020, 3, 5, "09:08:07"), "上传参数 2020-03-05 09:08:07");
}

}  // namespace
}  // namespace qz
