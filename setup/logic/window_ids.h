// The units the program logic works with, named by their role on the page.
// The identifiers themselves come from the window descriptions.
#pragma once
#include "setup/window_ids.h"

namespace ids {
namespace welcome {
constexpr uint32_t kPicture = kPicBox1;
constexpr uint32_t kHeading = kTransLabel2;
constexpr uint32_t kText = kTransLabel1;
constexpr uint32_t kBack = kButton1;
constexpr uint32_t kNext = kButton2;
constexpr uint32_t kCancel = kButton3;
}  // namespace welcome
namespace directory {
constexpr uint32_t kBanner = kPicBox1;
constexpr uint32_t kHeading = kTransLabel1;
constexpr uint32_t kText = kLabel1;
constexpr uint32_t kDirEdit = kEditBoxDir;
constexpr uint32_t kBrowse = kButton4;
constexpr uint32_t kBack = kButton1;
constexpr uint32_t kNext = kButton2;
constexpr uint32_t kCancel = kButton3;
}  // namespace directory
namespace ready {
constexpr uint32_t kBanner = kPicBox1;
constexpr uint32_t kHeading = kTransLabel1;
constexpr uint32_t kText = kLabel1;
constexpr uint32_t kAddOn = kCheckBoxAddOn;
constexpr uint32_t kAddOnNote = kLabel2;
constexpr uint32_t kAddOn1 = kCheckBoxAddOn1;
constexpr uint32_t kProgress = kProcessBar1;
constexpr uint32_t kDesktop = kCheckBoxDesktop;
constexpr uint32_t kMenu = kCheckBoxMenu;
constexpr uint32_t kRunAfter = kCheckBoxRunAfterExit;
constexpr uint32_t kTimer = kTimer1;
constexpr uint32_t kBack = kButton1;
constexpr uint32_t kNext = kButton2;
constexpr uint32_t kFinish = kButtonFinish;
}  // namespace ready
namespace question {
constexpr uint32_t kLabel = kLabel1;
}  // namespace question
}  // namespace ids
