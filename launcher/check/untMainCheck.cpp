#include "launcher/check/untMainCheck.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "dib/cDIB.h"
#include "launcher/untMain.h"
#include "platform/FileReading.h"
#include "platform/Paths.h"
#include "platform/Profile.h"
#include "platform/TextDecoding.h"

namespace {

const char* SeverityName(TSeverity severity) {
  switch (severity) {
    case TSeverity::Info: return "info";
    case TSeverity::Warning: return "warning";
    case TSeverity::Error: return "error";
  }
  return "?";
}

class TChecker {
public:
  explicit TChecker(std::string launcherPath) : FExe(std::move(launcherPath)) {}

  TCheckResult Run();

private:
  void Add(TSeverity severity, std::string kind, std::string subject, std::string text);
  // Whether the path names something, reporting a path found only in another letter case or
  // encoding.
  bool Resolves(const std::string& subject, const std::string& path, bool wantDirectory = false);
  void CheckEncoding(const std::string& subject, const std::string& iniFile);
  void CheckCover(const TIniFile& ini, const std::string& section);
  void CheckInformation(const std::string& subject, const std::string& file);
  void CheckDefinition(const std::string& definitionFile, const std::string& mainFile);
  void ReportRegistry(const TDefinitionRun& run, const std::string& section);
  bool ProgramResolves(const std::string& subject, const std::string& file, const std::string& folder,
                       std::string& target);

  std::string FExe;
  TCheckResult FResult;
};

void TChecker::Add(TSeverity severity, std::string kind, std::string subject, std::string text) {
  TFinding finding{severity, std::move(kind), std::move(subject), std::move(text)};
  if (std::find(FResult.Findings.begin(), FResult.Findings.end(), finding) == FResult.Findings.end())
    FResult.Findings.push_back(std::move(finding));
}

bool TChecker::Resolves(const std::string& subject, const std::string& path, bool wantDirectory) {
  if (path.empty()) return false;
  const platform::TResolvedPath resolved = platform::ResolvePath(path);
  if (!resolved.Exists() || resolved.IsDirectory != wantDirectory) return false;
  if (resolved.Match == platform::TPathMatch::LetterCase || resolved.Match == platform::TPathMatch::Encoding) {
    const char* how = resolved.Match == platform::TPathMatch::LetterCase ? "another letter case" : "another encoding";
    Add(TSeverity::Warning, "lookup", subject, path + " resolves only in " + how + ": " + resolved.Native);
  }
  return true;
}

void TChecker::CheckEncoding(const std::string& subject, const std::string& iniFile) {
  const std::optional<std::string> bytes =
      platform::ReadWholeFile(platform::NativePath(iniFile), platform::ProfileFileLimit);
  if (!bytes) return;
  const platform::TTextEncoding encoding = platform::DetectTextEncoding(*bytes);
  if (encoding != platform::TTextEncoding::Utf8)
    Add(TSeverity::Info, "encoding", subject, iniFile + " is read as " + platform::TextEncodingName(encoding));
}

void TChecker::CheckCover(const TIniFile& ini, const std::string& section) {
  const std::string picture = CompleteDrive(ini.ReadString(section, "PictureFile", ""), FExe);
  if (picture.empty()) return;
  Resolves(section, picture);
  try {
    TMemoryDIB dib;
    dib.LoadFromFile(picture);
    Add(TSeverity::Info, "picture", section,
        picture + ": " + std::to_string(dib.Width()) + "x" + std::to_string(dib.Height()));
  } catch (const std::exception& failure) {
    Add(TSeverity::Error, "picture", section, failure.what());
  }
}

void TChecker::CheckInformation(const std::string& subject, const std::string& file) {
  // The texts are those a click on the menu line shows.
  if (!file.empty() && !Resolves(subject, file)) {
    Add(TSeverity::Error, "notice", subject, "InformationFile not found\r\n" + file);
    return;
  }
  constexpr std::uint64_t kLimit = std::uint64_t{64} << 20;
  const std::optional<std::string> bytes =
      file.empty() ? std::nullopt : platform::ReadWholeFile(platform::NativePath(file), kLimit);
  if (!bytes) {
    Add(TSeverity::Error, "information", subject, "Cannot open file " + file);
    return;
  }
  if (bytes->starts_with("{\\rtf")) return;
  platform::TTextEncoding encoding{};
  const std::string text = platform::DecodeText(*bytes, &encoding);
  const bool plain = std::none_of(text.begin(), text.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\x1A';
  });
  if (!plain) Add(TSeverity::Error, "information", subject, file + " is neither rich text nor plain text");
  else if (encoding != platform::TTextEncoding::Utf8)
    Add(TSeverity::Info, "encoding", file, file + " is read as " + platform::TextEncodingName(encoding));
}

void TChecker::ReportRegistry(const TDefinitionRun& run, const std::string& section) {
  if (!run.Ini.ReadString(section, "Path", "").empty()) return;
  for (const char* key : {"PathFromRegistryKey", "ExtractPathFromRegistryKey"}) {
    const std::string reference = run.Ini.ReadString(section, key, "");
    if (reference.empty()) continue;
    const std::string subject = run.FileName + " [" + section + "]";
    try {
      const std::string value = ReadRegistryReference(reference);
      Add(value.empty() ? TSeverity::Warning : TSeverity::Info, "registry", subject,
          reference + (value.empty() ? " is not in the Wine prefix's registry" : " = " + value));
    } catch (const std::exception& failure) {
      Add(TSeverity::Error, "registry", subject, failure.what());
    }
    return;
  }
}

bool TChecker::ProgramResolves(const std::string& subject, const std::string& file, const std::string& folder,
                               std::string& target) {
  // As the launch makes it: the folder only when it exists, then the shell's search of a bare
  // name in the working folder and on PATH.
  const bool folderThere = !folder.empty() && platform::ResolvePath(folder).Exists();
  target = (folderThere ? folder : std::string()) + file;
  if (file.empty()) return false;
  if (platform::MapPathText(target).find('/') == std::string::npos && !platform::FileExists(target))
    return !platform::FindOnPath(target).empty();
  return Resolves(subject, target);
}

void TChecker::CheckDefinition(const std::string& definitionFile, const std::string& mainFile) {
  if (definitionFile.empty()) return;
  if (!Resolves(definitionFile, definitionFile))
    Add(TSeverity::Error, "definition", definitionFile, "definition file not found: " + definitionFile);
  else
    CheckEncoding(definitionFile, definitionFile);
  TDefinitionRun run(definitionFile, mainFile);
  run.Description = run.Ini.ReadString("Main", "Description", "??");
  std::string file, folder, parameters;
  try {
    if (run.OpenWith()) ReportRegistry(run, "Version Checking");
    ReadProgramSection(run, "Version Checking", file, folder, parameters);
    const std::string checked = folder + file;
    bool asked = true;
    if (!Resolves(definitionFile + " [Version Checking]", checked)) {
      Add(TSeverity::Info, "version", definitionFile,
          run.Description + ": " + (checked.empty() ? std::string("no file named") : checked + " not found") +
              "; the user is asked to install it");
    } else {
      const std::string required = run.Ini.ReadString("Version Checking", "MinVersionRequired", "0.0.0.0");
      const TFileVersion installed = ReadFileVersion(checked);
      const std::array<int32_t, 4> have{installed.Major, installed.Minor, installed.Release, installed.Build};
      asked = have < ParseVersionText(required);
      Add(TSeverity::Info, "version", definitionFile,
          run.Description + ": " + checked + " has version " + installed.Text + ", required " + required +
              (asked ? "; the user is asked to upgrade it" : "; accepted"));
    }
    if (asked) {
      if (run.OpenWith()) ReportRegistry(run, "Install");
      ReadProgramSection(run, "Install", file, folder, parameters);
      std::string target;
      if (ProgramResolves(definitionFile + " [Install]", file, folder, target))
        Add(TSeverity::Info, "installer", definitionFile, target + " [" + parameters + "]");
      else
        Add(TSeverity::Error, "installer", definitionFile, "installer not found: " + target);
    }
  } catch (const std::exception& failure) {
    Add(TSeverity::Error, "definition", definitionFile, failure.what());
    return;
  }
  if (!run.OpenWith()) return;
  try {
    ReportRegistry(run, "Main");
    ReadProgramSection(run, "Main", file, folder, parameters);
    const size_t marker = parameters.find("%1");
    if (marker != std::string::npos) parameters.replace(marker, 2, run.MainFile);
    std::string target;
    if (ProgramResolves(definitionFile + " [Main]", file, folder, target))
      Add(TSeverity::Info, "program", definitionFile,
          "program " + target + ", folder " + folder + ", parameters [" + parameters + "]");
    else
      Add(TSeverity::Error, "program", definitionFile, "program not found: " + target);
  } catch (const std::exception& failure) {
    Add(TSeverity::Error, "definition", definitionFile, failure.what());
  }
}

TCheckResult TChecker::Run() {
  const std::string configuration = ConfigurationFileName(FExe);
  if (!Resolves(configuration, configuration)) {
    Add(TSeverity::Error, "configuration", configuration, "no configuration file: " + configuration);
    return FResult;
  }
  CheckEncoding(configuration, configuration);
  TIniFile ini(configuration);
  for (const char* section : {"Front Cover", "Inside Cover", "Back Cover"}) CheckCover(ini, section);
  struct TItem {
    std::string Section, MainFile, InformationFile, Codec, OpenWith;
  };
  std::vector<TItem> items;
  for (int number = 1; number <= 8; ++number) {
    const std::string section = "Item" + std::to_string(number);
    if (ini.ReadString(section, "MainFile", "").empty()) break;
    TItem item{section, CompleteDrive(ini.ReadString(section, "MainFile", ""), FExe),
               CompleteDrive(ini.ReadString(section, "InformationFile", ""), FExe),
               CompleteDrive(ini.ReadString(section, "CodecNeededDefinitionFile", ""), FExe),
               CompleteDrive(ini.ReadString(section, "OpenWithDefinitionFile", ""), FExe)};
    Add(TSeverity::Info, "feature", section, "\"" + ini.ReadString(section, "Caption", "") + "\" plays " + item.MainFile);
    // The error notices of start-up come first, in the launcher's order.
    if (!Resolves(section, item.MainFile)) Add(TSeverity::Error, "notice", section, "MainFile not found\r\n" + item.MainFile);
    items.push_back(std::move(item));
  }
  if (items.empty()) Add(TSeverity::Error, "configuration", configuration, "no feature: [Item1] has no MainFile");
  for (const TItem& item : items) {
    CheckInformation(item.Section, item.InformationFile);
    CheckDefinition(item.Codec, "");
    CheckDefinition(item.OpenWith, item.MainFile);
    if (item.OpenWith.empty()) Add(TSeverity::Warning, "feature", item.Section, "no OpenWithDefinitionFile: nothing is started");
  }
  return FResult;
}

void AppendJsonString(std::string& out, const std::string& text) {
  out += '"';
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (u < 0x20) {
      static const char hex[] = "0123456789abcdef";
      out += "\\u00";
      out += hex[u >> 4];
      out += hex[u & 15];
    } else {
      out += c;
    }
  }
  out += '"';
}

}  // namespace

bool TCheckResult::Clean() const {
  return std::none_of(Findings.begin(), Findings.end(),
                      [](const TFinding& f) { return f.Severity == TSeverity::Error; });
}

TCheckResult CheckDisc(const std::string& launcherPath) {
  platform::SetProgramFolder(platform::FolderOf(launcherPath));
  return TChecker(launcherPath).Run();
}

std::string FormatFinding(const TFinding& finding, bool asJson) {
  std::string out;
  if (asJson) {
    out = "{\"severity\":";
    AppendJsonString(out, SeverityName(finding.Severity));
    out += ",\"kind\":";
    AppendJsonString(out, finding.Kind);
    out += ",\"subject\":";
    AppendJsonString(out, finding.Subject);
    out += ",\"text\":";
    AppendJsonString(out, finding.Text);
    out += "}";
    return out;
  }
  std::string text = finding.Text;
  for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 3)) text.replace(at, 2, " | ");
  std::replace_if(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  return std::string(SeverityName(finding.Severity)) + " " + finding.Kind + " [" + finding.Subject + "] " + text;
}

int RunChecker(int argc, char** argv, bool inDiscFolder) {
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
  std::string launcher = platform::AbsolutePath(target);
  while (launcher.size() > 1 && (launcher.back() == '/' || launcher.back() == '\\')) launcher.pop_back();
  // A disc folder stands for the launcher in it, whose configuration is quorvane.ini.
  if (platform::LookUpNativePath(launcher).IsDirectory) launcher += "/quorvane";
  if (inDiscFolder) {
    const std::string folder = platform::FolderOf(launcher);
    std::error_code ignored;
    std::filesystem::current_path(std::filesystem::path(std::u8string(folder.begin(), folder.end())), ignored);
  }
  const TCheckResult result = CheckDisc(launcher);
  for (const TFinding& finding : result.Findings) std::printf("%s\n", FormatFinding(finding, json).c_str());
  return result.Clean() ? 0 : 1;
}
