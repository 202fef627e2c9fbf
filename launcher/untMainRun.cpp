#include "launcher/untMain.h"

// Placeholder until the platform's launch services land.
TFileVersion ReadFileVersion(const std::string&) { return {}; }
void TfrmMain::RunFeature(TMenuItem& item) {
  RunDefinitionFile(item.CodecNeededDefinitionFile, "");
  RunDefinitionFile(item.OpenWithDefinitionFile, item.MainFile);
}
void TfrmMain::RunDefinitionFile(const std::string&, const std::string&) {}
void TfrmMain::LaunchProgram(const std::string&, const std::string&, const std::string&, TWait) {}
