// Every header of ours first and the system's header after them: its declarations must not meet a
// function or type of ours of the same name, and its macros are gone again at the end.
#include <gtest/gtest.h>

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

#include "platform/win32/Win32Api.h"

namespace {

TEST(SystemNames, OurNamesStayOursWhenTheSystemHeaderComesLast) {
  EXPECT_EQ(static_cast<unsigned>(WM_PAINT), 0x000Fu);
  EXPECT_EQ(platform::ERROR_SUCCESS, 0);
  EXPECT_EQ(std::uint32_t{KF_UP}, 1u << 31);
  EXPECT_EQ(RGB(255, 0, 0), 0x0000FF);
}

}  // namespace
