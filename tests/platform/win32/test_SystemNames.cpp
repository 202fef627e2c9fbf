// Our Windows-shaped names beside the system's own: the values that must agree, the two kinds
// that differ on purpose, and every header of ours compiled after <windows.h>.
#include <gtest/gtest.h>

// The system's header first: if one of its macros still clashed with a name of ours, one of the
// headers below would not compile.
#include "platform/win32/Win32Api.h"

#include "dib/cDIB.h"
#include "dib/cDIBCompressor.h"
#include "dib/cDIBFormat.h"
#include "dib/cDIBImageList.h"
#include "dib/cDIBPalette.h"
#include "dibcontrols/cDIBControl.h"
#include "dibcontrols/cDIBFeatures.h"
#include "dibcontrols/cDIBImage.h"
#include "dibcontrols/cDIBPanel.h"
#include "dibcontrols/cDIBTimer.h"
#include "fadelabel/untFadeLabel.h"
#include "platform/CodePages.h"
#include "platform/ComLibrary.h"
#include "platform/Environment.h"
#include "platform/FileVersion.h"
#include "platform/Guid.h"
#include "platform/Paths.h"
#include "platform/Profile.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/WinTypes.h"
#include "toolkit/ComCtrls.h"
#include "toolkit/Dialogs.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Forms.h"
#include "toolkit/Graphics.h"
#include "toolkit/Messages.h"
#include "toolkit/StdCtrls.h"

namespace {

std::uintptr_t Bits(const void* key) { return reinterpret_cast<std::uintptr_t>(key); }

TEST(SystemNames, PredefinedRegistryKeysAreTheSystemsSignExtendedValues) {
  const struct {
    const char* Name;
    platform::HKEY Ours;
    ::HKEY System;
    std::uint32_t Number;
  } keys[] = {
      {"HKEY_CLASSES_ROOT", platform::HKEY_CLASSES_ROOT, win32::ClassesRoot, 0x80000000u},
      {"HKEY_CURRENT_USER", platform::HKEY_CURRENT_USER, win32::CurrentUser, 0x80000001u},
      {"HKEY_LOCAL_MACHINE", platform::HKEY_LOCAL_MACHINE, win32::LocalMachine, 0x80000002u},
      {"HKEY_USERS", platform::HKEY_USERS, win32::Users, 0x80000003u},
      {"HKEY_CURRENT_CONFIG", platform::HKEY_CURRENT_CONFIG, win32::CurrentConfig, 0x80000005u},
  };
  for (const auto& key : keys) {
    EXPECT_EQ(Bits(key.Ours), Bits(key.System)) << key.Name;
    // On a 64-bit system the upper half is all ones, not zero.
    EXPECT_EQ(Bits(key.System), std::uintptr_t{0xFFFFFFFF00000000u} | key.Number) << key.Name;
  }
}

TEST(SystemNames, KeyFlagsAreBitsOfTheWholeParameterNotOfItsHighWord) {
  EXPECT_EQ(std::uint32_t{KF_ALTDOWN}, std::uint32_t{win32::KeyFlagAltDown} << 16);
  EXPECT_EQ(std::uint32_t{KF_REPEAT}, std::uint32_t{win32::KeyFlagRepeat} << 16);
  EXPECT_EQ(std::uint32_t{KF_UP}, std::uint32_t{win32::KeyFlagUp} << 16);
  // What the system sends for Alt+F released (repeat count 1, scan code 0x21), read with ours.
  const LPARAM system = MAKELPARAM(1, 0x21 | win32::KeyFlagAltDown | win32::KeyFlagRepeat | win32::KeyFlagUp);
  const auto flags = static_cast<std::uint32_t>(system);
  EXPECT_TRUE(flags & KF_ALTDOWN);
  EXPECT_TRUE(flags & KF_REPEAT);
  EXPECT_TRUE(flags & KF_UP);
  EXPECT_EQ(flags & KF_REPEATMASK, 1u);
}

TEST(SystemNames, NumbersOurCodeSharesWithTheSystemAgree) {
  // The macros are gone; the values are checked against the numbers the system documents.
  EXPECT_EQ(platform::STILL_ACTIVE, win32::StillActive);
  EXPECT_EQ(sizeof(platform::VS_FIXEDFILEINFO), sizeof(::VS_FIXEDFILEINFO));
  EXPECT_EQ(platform::SEE_MASK_NOCLOSEPROCESS, 0x40u);
  EXPECT_EQ(platform::SEE_MASK_FLAG_NO_UI, 0x400u);
  EXPECT_EQ(static_cast<unsigned>(WM_PAINT), 0x000Fu);
  EXPECT_EQ(static_cast<unsigned>(WM_CAPTURECHANGED), 0x0215u);
  EXPECT_EQ(static_cast<unsigned>(VK_F1), 0x70u);
  EXPECT_EQ(RGB(1, 2, 3), 0x030201);
}

}  // namespace
