// Running a feature: definition files, the requirement check, and the location and launch of
// programs.
#include <array>
#include <cstring>
#include <vector>

#include "launcher/untMain.h"
#include "platform/Environment.h"
#include "platform/FileVersion.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "toolkit/Dialogs.h"

namespace {

std::string UpperAZ(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

// Up to and including the last backslash or colon; empty when there is neither.
std::string UpToLastSeparator(const std::string& s) {
  const size_t i = s.find_last_of("\\:");
  return i == std::string::npos ? std::string() : s.substr(0, i + 1);
}

platform::HKEY RootKey(const std::string& upperName) {
  if (upperName == "HKEY_LOCAL_MACHINE") return platform::HKEY_LOCAL_MACHINE;
  if (upperName == "HKEY_CLASSES_ROOT") return platform::HKEY_CLASSES_ROOT;
  if (upperName == "HKEY_CURRENT_USER") return platform::HKEY_CURRENT_USER;
  if (upperName == "HKEY_CURRENT_CONFIG") return platform::HKEY_CURRENT_CONFIG;
  return nullptr;
}

// Closes a registry key on every way out.
struct KeyCloser {
  platform::HKEY Key = nullptr;
  ~KeyCloser() {
    if (Key) platform::RegCloseKey(Key);
  }
};

bool VersionLower(const TFileVersion& installed, const std::array<int32_t, 4>& required) {
  const std::array<int32_t, 4> have{installed.Major, installed.Minor, installed.Release, installed.Build};
  return have < required;
}

bool AskYes(const std::string& question) {
  return MessageBox(question, ApplicationTitle, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

}  // namespace

// Reads the text of a registry reference (root\key path\value name). A key that is missing, or
// that cannot be opened with full rights, gives the empty text.
std::string ReadRegistryReference(const std::string& reference) {
  const size_t firstSlash = reference.find('\\');
  const std::string root = firstSlash == std::string::npos ? std::string() : reference.substr(0, firstSlash);
  const std::string rest = firstSlash == std::string::npos ? reference : reference.substr(firstSlash + 1);
  const std::string keyPath = UpToLastSeparator(rest);
  const std::string valueName = rest.substr(keyPath.size());

  const std::string upperRoot = UpperAZ(root);
  const platform::HKEY rootKey = RootKey(upperRoot);
  if (!rootKey) throw Exception("Cannot use this KEY!\r\n" + upperRoot);

  {
    KeyCloser probe;
    if (platform::RegOpenKeyExA(rootKey, keyPath.c_str(), 0, platform::KEY_ALL_ACCESS, &probe.Key) !=
        platform::ERROR_SUCCESS) {
      probe.Key = nullptr;
      return std::string();
    }
  }

  KeyCloser key;
  if (platform::RegOpenKeyExA(rootKey, keyPath.c_str(), 0, platform::KEY_READ, &key.Key) != platform::ERROR_SUCCESS) {
    key.Key = nullptr;
    return std::string();
  }
  platform::DWORD type = 0, size = 0;
  if (platform::RegQueryValueExA(key.Key, valueName.c_str(), nullptr, &type, nullptr, &size) != platform::ERROR_SUCCESS)
    return std::string();  // no such value
  if (type != platform::REG_SZ && type != platform::REG_EXPAND_SZ)
    throw Exception(Format("Invalid data type for '%s'", valueName.c_str()));
  std::vector<uint8_t> data(size + 1, 0);
  platform::DWORD got = size;
  if (platform::RegQueryValueExA(key.Key, valueName.c_str(), nullptr, &type, data.data(), &got) != platform::ERROR_SUCCESS)
    return std::string();
  std::string text(reinterpret_cast<const char*>(data.data()), std::min<size_t>(got, size));
  const size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  return text;
}

// Parses a version text: a "." is appended, then four pieces are taken up to each ".".
std::array<int32_t, 4> ParseVersionText(const std::string& text) {
  std::string rest = text + ".";
  std::array<int32_t, 4> v{};
  for (int32_t& number : v) {
    const size_t dot = rest.find('.');
    std::string piece;
    if (dot != std::string::npos) {
      piece = rest.substr(0, dot);
      rest.erase(0, dot + 1);
    } else {
      rest.clear();
    }
    int value = 0;
    number = TryStrToInt(piece, value) ? value : 0;
  }
  return v;
}

TFileVersion ReadFileVersion(const std::string& fileName) {
  TFileVersion result;
  platform::DWORD handle = 0;
  const platform::DWORD size = platform::GetFileVersionInfoSizeA(fileName.c_str(), &handle);
  if (size == 0) return result;
  std::vector<uint8_t> buffer(size, 0);
  if (!platform::GetFileVersionInfoA(fileName.c_str(), handle, size, buffer.data())) return result;
  // The lookup's own answer is not examined: a failed lookup leaves a zero record, 0.0.0.0.
  platform::VS_FIXEDFILEINFO fixed{};
  void* found = nullptr;
  platform::UINT length = 0;
  if (platform::VerQueryValueA(buffer.data(), "\\", &found, &length) && found && length >= sizeof fixed)
    std::memcpy(&fixed, found, sizeof fixed);
  result.Major = static_cast<int32_t>(fixed.dwFileVersionMS >> 16);
  result.Minor = static_cast<int32_t>(fixed.dwFileVersionMS & 0xFFFF);
  result.Release = static_cast<int32_t>(fixed.dwFileVersionLS >> 16);
  result.Build = static_cast<int32_t>(fixed.dwFileVersionLS & 0xFFFF);
  result.Text = Format("%d.%d.%d.%d", result.Major, result.Minor, result.Release, result.Build);
  return result;
}

std::string ExpandEnvStrings(const std::string& text) {
  std::vector<char> destination(1024, '\0');
  platform::DWORD count = platform::ExpandEnvironmentStringsA(text.c_str(), destination.data(), 1024);
  if (count > destination.size()) {
    // The expansion does not fit the usual 1024 characters: take it whole rather than read past
    // the buffer.
    destination.assign(count, '\0');
    count = platform::ExpandEnvironmentStringsA(text.c_str(), destination.data(), count);
    if (count > destination.size()) count = 0;
  }
  return Trim(std::string(destination.data(), count));
}

TDefinitionRun::TDefinitionRun(std::string fileName, std::string mainFile)
    : FileName(std::move(fileName)), Ini(FileName), MainFile(std::move(mainFile)) {}

void ReadProgramSection(const TDefinitionRun& run, const std::string& section, std::string& file,
                        std::string& folder, std::string& parameters) {
  file.clear();
  folder.clear();
  parameters.clear();
  ResolveProgramSection(run, section, file, folder, parameters);
  if (!platform::FileExists(folder + file)) {
    // The results of the first pass are the defaults of the second (except the parameters).
    ResolveProgramSection(run, section + ".NT", file, folder, parameters);
  }
}

void ResolveProgramSection(const TDefinitionRun& run, const std::string& section, std::string& file,
                           std::string& folder, std::string& parameters) {
  const bool strict = run.OpenWith();
  enum class TSource { Direct, Registry, RegistryFolderPart } kind = TSource::Direct;
  folder = run.Ini.ReadString(section, "Path", folder);  // R1
  std::string source = folder;
  if (source.empty()) {  // R2
    source = run.Ini.ReadString(section, "PathFromRegistryKey", "");
    kind = TSource::Registry;
    if (source.empty()) {
      source = run.Ini.ReadString(section, "ExtractPathFromRegistryKey", "");
      kind = TSource::RegistryFolderPart;
    }
  }
  if (strict && source.empty())  // R3
    throw Exception("Path/PathFromRegistryKey/ExtractPathFromRegistryKey not defined\r\n" + run.FileName);
  if (strict && kind != TSource::Direct) {  // R4; a check-only run never reads the registry
    const std::string value = ReadRegistryReference(source);
    folder = kind == TSource::RegistryFolderPart ? UpToLastSeparator(value) : value;
  }
  if (!folder.empty()) {  // R5
    folder = ExpandEnvStrings(folder);
    if (folder.empty() || folder.back() != '\\') folder += '\\';
  }
  file = run.Ini.ReadString(section, "File", file);  // R6
  if (strict && file.empty()) throw Exception("File not defined\r\n" + run.FileName);  // R7
  parameters = run.Ini.ReadString(section, "Parameters", "");  // R8
}

void TfrmMain::CheckRequirement(const TDefinitionRun& run) {
  std::string file, folder, parameters;
  ReadProgramSection(run, "Version Checking", file, folder, parameters);
  const std::string checked = folder + file;
  if (!platform::FileExists(checked)) {
    if (!AskYes(run.Description + " is not installed" + "\r\n\r\n" + "You MUST install it to view the feature." +
                "\r\n\r\n" + "Do you wish to install now?"))
      throw Exception("User aborted installation of " + run.Description);
  } else {
    const std::string requiredText = run.Ini.ReadString("Version Checking", "MinVersionRequired", "0.0.0.0");
    const TFileVersion installed = ReadFileVersion(checked);
    if (!VersionLower(installed, ParseVersionText(requiredText))) return;
    if (!AskYes(run.Description + " is out of date (v" + installed.Text + ")" + "\r\n\r\n" + "You MUST upgrade it to v" +
                requiredText + " to view the feature." + "\r\n\r\n" + "Do you wish to upgrade now?"))
      throw Exception("User aborted upgrade of " + run.Description);
  }
  // Install, wait for the installer, and go on as if the component were there now.
  ReadProgramSection(run, "Install", file, folder, parameters);
  LaunchProgram(file, folder, parameters, TWait::UntilExit);
}

namespace {
// The user closed the window while an installer was waited for: the feature goes no further, so
// that no player starts after the launcher has gone.
bool Closing() { return Application && Application->Terminated(); }
}  // namespace

void TfrmMain::RunFeature(TMenuItem& item) {
  RunDefinitionFile(item.CodecNeededDefinitionFile, "");
  if (Closing()) return;
  RunDefinitionFile(item.OpenWithDefinitionFile, item.MainFile);
}

void TfrmMain::RunDefinitionFile(const std::string& definitionFile, const std::string& mainFile) {
  if (definitionFile.empty()) return;
  // The run and its reader end with this scope, on failure too.
  TDefinitionRun run(definitionFile, mainFile);
  run.Description = run.Ini.ReadString("Main", "Description", "??");
  CheckRequirement(run);
  if (!run.OpenWith() || Closing()) return;
  std::string file, folder, parameters;
  ReadProgramSection(run, "Main", file, folder, parameters);
  const size_t marker = parameters.find("%1");
  if (marker != std::string::npos) parameters.replace(marker, 2, run.MainFile);
  LaunchProgram(file, folder, parameters, TWait::NoWait);
}

void TfrmMain::LaunchProgram(const std::string& file, const std::string& folder, const std::string& parameters,
                             TWait wait) {
  std::string shortFolder;
  {
    std::vector<char> buffer(255, '\0');
    platform::DWORD length = platform::GetShortPathNameA(folder.c_str(), buffer.data(), 255);
    if (length >= buffer.size()) {
      // Longer than the usual destination: take it whole rather than read past the buffer.
      buffer.assign(length + 1, '\0');
      length = platform::GetShortPathNameA(folder.c_str(), buffer.data(), length + 1);
      if (length >= buffer.size()) length = 0;
    }
    shortFolder.assign(buffer.data(), length);
  }

  const size_t sep = file.find_last_of("\\:");
  const size_t dot = file.find_last_of('.');
  const std::string extension =
      (dot != std::string::npos && (sep == std::string::npos || dot > sep)) ? file.substr(dot) : std::string();
  const std::string verb = UpperAZ(extension) == ".INF" ? "Install" : "Open";
  const std::string target = shortFolder + file;

  platform::SHELLEXECUTEINFOA info{};
  info.cbSize = 60;
  // Without FLAG_NO_UI a refused launch would show the system's own error box and wait for it
  // before our failure could be raised.
  info.fMask = platform::SEE_MASK_NOCLOSEPROCESS | platform::SEE_MASK_FLAG_NO_UI;
  info.hwnd = reinterpret_cast<void*>(Handle());
  info.lpVerb = verb.c_str();
  info.lpFile = target.c_str();
  info.lpParameters = parameters.c_str();
  info.lpDirectory = nullptr;
  info.nShow = platform::SW_SHOWNORMAL;
  if (!platform::ShellExecuteExA(&info))
    throw Exception("Cannot launch program\r\nVerb: [" + verb + "]" + "\r\n" + "Program: [" + target + "]" + "\r\n" +
                    "Parameters: [" + parameters + "]");

  // The process handle is released on every way out, also when a handler fails inside the wait.
  struct TCloseProcess {
    platform::HANDLE Process;
    ~TCloseProcess() {
      if (Process) platform::CloseHandle(Process);
    }
  } closeProcess{info.hProcess};
  if (wait == TWait::UntilExit) {
    // Two phases of 100 ms waits; between them the window goes on painting and reacting. Closing
    // the window ends the wait too: an installer that never ends must not keep a launcher that
    // has no window any more.
    platform::DWORD r = platform::WaitForInputIdle(info.hProcess, 100);
    while (r != 0 && r != platform::WAIT_FAILED && !Closing()) {
      Application->ProcessMessages();
      r = platform::WaitForInputIdle(info.hProcess, 100);
    }
    while (!Closing() && platform::WaitForSingleObject(info.hProcess, 100) == platform::WAIT_TIMEOUT)
      Application->ProcessMessages();
  }
}
