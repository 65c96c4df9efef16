#pragma once
// What the status frame says of a transfer, leading blanks included.

#include <string_view>

namespace qz {

inline constexpr std::string_view kDownloadingText = "  正在下载参数";
inline constexpr std::string_view kDownloadedText = "  参数下载成功";
inline constexpr std::string_view kDownloadFailedText = "    下载失败";
inline constexpr std::string_view kUploadingText = "  正在上传参数";
inline constexpr std::string_view kUploadedText = "  参数上传成功";
inline constexpr std::string_view kUploadFailedText = "    上传失败";
// The last row came, but not every row before it: the editor keeps the image it had.
inline constexpr std::string_view kUploadIncompleteText = "  上传不完整，参数未变";

}  // namespace qz
