// quorvane-check: checks a disc as the launcher would read it. See the README.
#include <cstdio>
#include <string>

#include "launcher/check/untMainCheck.h"
#include "platform/Paths.h"
#include "toolkit/qt/QtBackend.h"
#include "toolkit/qt/QtPictures.h"

int main(int argc, char** argv) {
  bool json = false;
  std::string target;
  bool usable = true;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--json") json = true;
    else if (target.empty() && !arg.empty() && arg[0] != '-') target = arg;
    else usable = false;
  }
  if (!usable || target.empty()) {
    std::fprintf(stderr, "usage: quorvane-check [--json] DISC-FOLDER | LAUNCHER-PATH\n");
    return 2;
  }
  // Pictures with transparency are drawn into the surface through the GUI backend; it needs no
  // display for that, and no window is ever made.
  TQtBackendScope backend(argc, argv, TDisplayUse::None);
  RegisterQtPictureFormats();
  std::string launcher = platform::AbsolutePath(target);
  while (launcher.size() > 1 && launcher.back() == '/') launcher.pop_back();
  // A disc folder stands for the launcher in it, whose configuration is quorvane.ini.
  if (platform::LookUpNativePath(launcher).IsDirectory) launcher += "/quorvane";
  const TCheckResult result = CheckDisc(launcher);
  for (const TFinding& finding : result.Findings) std::printf("%s\n", FormatFinding(finding, json).c_str());
  return result.Clean() ? 0 : 1;
}
