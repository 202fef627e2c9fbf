#include "platform/Shell.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/CommandLine.h"
#include "platform/Paths.h"
#include "platform/Utf.h"

extern char** environ;

namespace platform {

struct ProcessObject {
  pid_t pid = -1;
  int pidfd = -1;
  bool ended = false;
  int status = 0;
};

namespace {

constexpr std::uintptr_t kSeErrFileNotFound = 2;
constexpr std::uintptr_t kSeErrAccessDenied = 5;
constexpr std::uintptr_t kSeErrNoAssociation = 31;
constexpr std::uintptr_t kShellSuccess = 42;

std::mutex processMutex;
std::set<HANDLE> openProcesses;
std::vector<pid_t> unwatchedChildren;  // started by us, not yet reaped, no handle left

bool IsOpenProcess(HANDLE handle) {
  std::lock_guard lock(processMutex);
  return handle && openProcesses.contains(handle);
}

// Reaping happens only under processMutex and takes the pid off the list in the same step, so a
// pid that the system hands out again to a later child is never reaped by mistake.
void ReapUnwatchedChildren() {
  std::lock_guard lock(processMutex);
  std::erase_if(unwatchedChildren, [](pid_t pid) {
    int status;
    pid_t got = ::waitpid(pid, &status, WNOHANG);
    return got == pid || (got < 0 && errno == ECHILD);
  });
}

// A child nobody waits for any more (a player started without waiting) is reaped as soon as it
// ends, so none lingers as a zombie while the window stays open. The watch only waits for the
// end without reaping; the reaping itself is ReapUnwatchedChildren's.
void WatchUnwatchedChild(pid_t pid) {
  {
    std::lock_guard lock(processMutex);
    unwatchedChildren.push_back(pid);
  }
  try {
    std::thread([pid] {
      siginfo_t info{};
      while (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
      }
      ReapUnwatchedChildren();
    }).detach();
  } catch (const std::system_error&) {
    // Without a thread the child is still reaped by the next shell call.
  }
}

// Records the end of the process when it has ended; true then.
bool PollEnded(ProcessObject& process, int flags) {
  if (process.ended) return true;
  int status = 0;
  pid_t got;
  do {
    got = ::waitpid(process.pid, &status, flags);
  } while (got < 0 && errno == EINTR);
  if (got == process.pid) {
    process.ended = true;
    process.status = status;
  } else if (got < 0 && errno == ECHILD) {
    process.ended = true;  // reaped elsewhere; its status is lost
  }
  return process.ended;
}

int OpenPidfd(pid_t pid) {
#ifdef SYS_pidfd_open
  long fd = ::syscall(SYS_pidfd_open, pid, 0);
  if (fd >= 0) {
    ::fcntl(static_cast<int>(fd), F_SETFD, FD_CLOEXEC);
    return static_cast<int>(fd);
  }
#endif
  (void)pid;
  return -1;
}

std::string LowerExtension(const std::string& path) {
  std::size_t slash = path.rfind('/');
  std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  return FoldAscii(path.substr(dot));
}

bool IsWindowsProgram(const std::string& extension) {
  return extension == ".exe" || extension == ".com" || extension == ".bat" ||
         extension == ".cmd" || extension == ".msi";
}

// An ELF file or a "#!" script that we may execute.
bool IsNativeProgram(const std::string& path) {
  if (::access(path.c_str(), X_OK) != 0) return false;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  char magic[4] = {};
  ssize_t got = ::read(fd, magic, sizeof magic);
  ::close(fd);
  return (got >= 4 && std::memcmp(magic, "\x7F" "ELF", 4) == 0) ||
         (got >= 2 && magic[0] == '#' && magic[1] == '!');
}

bool IsExistingFile(const std::string& path) {
  struct stat info{};
  return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

// Wine's name for a native file: its Z: drive is the root of the file system.
std::string WineFileName(const std::string& path) {
  std::string name = "Z:" + AbsolutePath(path);
  std::replace(name.begin(), name.end(), '/', '\\');
  return name;
}

// The shell's search for a bare file name: the working directory, then PATH.
std::optional<std::string> FindTarget(const std::string& target, const std::string& workingDir) {
  if (target.find('/') != std::string::npos)
    return IsExistingFile(target) ? std::optional(target) : std::nullopt;
  std::string local = (workingDir.empty() ? std::string(".") : workingDir) + "/" + target;
  if (IsExistingFile(local)) return local;
  const char* pathVariable = std::getenv("PATH");
  std::string_view dirs = pathVariable ? pathVariable : "";
  std::size_t start = 0;
  while (start < dirs.size()) {
    std::size_t end = dirs.find(':', start);
    if (end == std::string_view::npos) end = dirs.size();
    std::string dir(dirs.substr(start, end - start));
    std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + target;
    if (IsExistingFile(candidate)) return candidate;
    start = end + 1;
  }
  return std::nullopt;
}

BOOL Refuse(SHELLEXECUTEINFOA* info, DWORD error, std::uintptr_t shellError) {
  info->hInstApp = reinterpret_cast<void*>(shellError);
  SetLastError(error);
  return 0;
}

// Starts argv[0] (a path) with the arguments; the pid, or the errno of the failure.
std::optional<pid_t> Spawn(const std::vector<std::string>& args, const std::string& directory,
                           int& error) {
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attributes);
  if (!directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif
  // The child starts with default signal handling and nothing blocked, whatever the GUI set up.
  sigset_t all;
  sigset_t none;
  sigfillset(&all);
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

  pid_t pid = -1;
  error = ::posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (error != 0) return std::nullopt;
  return pid;
}

DWORD ErrorFromErrno(int error) {
  switch (error) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM: return ERROR_ACCESS_DENIED;
    case ENOEXEC: return ERROR_BAD_FORMAT;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_INVALID_FUNCTION;
  }
}

}  // namespace

BOOL ShellExecuteExA(SHELLEXECUTEINFOA* info) {
  if (!info) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  info->hProcess = nullptr;
  ReapUnwatchedChildren();

  std::string verb = info->lpVerb ? FoldAscii(info->lpVerb) : "";
  if (verb.empty()) verb = "open";
  if (verb != "open" && verb != "install")
    return Refuse(info, ERROR_NO_ASSOCIATION, kSeErrNoAssociation);

  std::string directory;
  if (info->lpDirectory && *info->lpDirectory) {
    directory = NativePath(info->lpDirectory);
    struct stat dirInfo{};
    if (::stat(directory.c_str(), &dirInfo) != 0 || !S_ISDIR(dirInfo.st_mode))
      return Refuse(info, ERROR_PATH_NOT_FOUND, kSeErrFileNotFound);
  }

  std::string file = info->lpFile ? NativePath(info->lpFile) : "";
  std::optional<std::string> target = file.empty() ? std::nullopt : FindTarget(file, directory);
  if (!target) return Refuse(info, ERROR_FILE_NOT_FOUND, kSeErrFileNotFound);
  *target = AbsolutePath(*target);  // the child may start in another directory

  const std::string extension = LowerExtension(*target);
  const std::vector<std::string> params =
      SplitWindowsCommandLine(info->lpParameters ? info->lpParameters : "");
  std::vector<std::string> args;
  if (verb == "install") {
    if (extension != ".inf") return Refuse(info, ERROR_NO_ASSOCIATION, kSeErrNoAssociation);
    std::string wine = FindOnPath("wine");
    if (wine.empty()) return Refuse(info, ERROR_NO_ASSOCIATION, kSeErrNoAssociation);
    args = {wine, "rundll32", "setupapi.dll,InstallHinfSection", "DefaultInstall", "132",
            WineFileName(*target)};
  } else if (IsWindowsProgram(extension)) {
    std::string wine = FindOnPath("wine");
    if (wine.empty()) return Refuse(info, ERROR_NO_ASSOCIATION, kSeErrNoAssociation);
    if (extension == ".msi") {
      args = {wine, "msiexec", "/i", WineFileName(*target)};
    } else {
      args = {wine, *target};
    }
    args.insert(args.end(), params.begin(), params.end());
  } else if (IsNativeProgram(*target)) {
    // A native program cannot read Windows paths: an argument that names an existing file or
    // folder once mapped is given in its native form; everything else stays as written.
    args = {*target};
    for (const std::string& param : params) {
      const TResolvedPath mapped = param.empty() ? TResolvedPath{} : ResolvePath(param);
      args.push_back(mapped.Exists() ? AbsolutePath(mapped.Native) : param);
    }
  } else {
    std::string opener = FindOnPath("xdg-open");
    if (opener.empty()) return Refuse(info, ERROR_NO_ASSOCIATION, kSeErrNoAssociation);
    args = {opener, *target};
  }
  // A relative program path would be taken against the child's new working directory.
  if (!directory.empty()) args[0] = AbsolutePath(args[0]);

  int error = 0;
  std::optional<pid_t> pid = Spawn(args, directory, error);
  if (!pid) {
    return Refuse(info, ErrorFromErrno(error),
                  error == EACCES ? kSeErrAccessDenied : kSeErrFileNotFound);
  }

  info->hInstApp = reinterpret_cast<void*>(kShellSuccess);
  if (info->fMask & SEE_MASK_NOCLOSEPROCESS) {
    auto* process = new ProcessObject{*pid, OpenPidfd(*pid)};
    std::lock_guard lock(processMutex);
    openProcesses.insert(process);
    info->hProcess = process;
  } else {
    WatchUnwatchedChild(*pid);
  }
  return 1;
}

DWORD WaitForInputIdle(HANDLE process, DWORD /*milliseconds*/) {
  if (!IsOpenProcess(process)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  return 0;
}

DWORD WaitForSingleObject(HANDLE process, DWORD milliseconds) {
  if (!IsOpenProcess(process)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  using Clock = std::chrono::steady_clock;
  const bool forever = milliseconds == INFINITE;
  const auto deadline = Clock::now() + std::chrono::milliseconds(forever ? 0 : milliseconds);
  auto remainingMs = [&]() -> int {
    if (forever) return -1;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, left.count()));
  };

  for (;;) {
    if (PollEnded(*process, WNOHANG)) return WAIT_OBJECT_0;
    int left = remainingMs();
    if (left == 0) return WAIT_TIMEOUT;
    if (process->pidfd >= 0) {
      pollfd watch{process->pidfd, POLLIN, 0};
      int ready = ::poll(&watch, 1, left);
      if (ready < 0 && errno != EINTR) return WAIT_FAILED;
    } else {
      int step = left < 0 ? 10 : std::min(left, 10);
      std::this_thread::sleep_for(std::chrono::milliseconds(step));
    }
  }
}

BOOL GetExitCodeProcess(HANDLE process, DWORD* exitCode) {
  if (!IsOpenProcess(process) || !exitCode) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (!PollEnded(*process, WNOHANG)) {
    *exitCode = STILL_ACTIVE;
  } else if (WIFEXITED(process->status)) {
    *exitCode = static_cast<DWORD>(WEXITSTATUS(process->status));
  } else if (WIFSIGNALED(process->status)) {
    *exitCode = static_cast<DWORD>(128 + WTERMSIG(process->status));
  } else {
    *exitCode = 0;
  }
  return 1;
}

std::int64_t GetProcessId(HANDLE process) { return IsOpenProcess(process) ? process->pid : -1; }

BOOL CloseHandle(HANDLE handle) {
  {
    std::lock_guard lock(processMutex);
    if (!handle || openProcesses.erase(handle) == 0) {
      SetLastError(ERROR_INVALID_HANDLE);
      return 0;
    }
  }
  if (handle->pidfd >= 0) ::close(handle->pidfd);
  if (!PollEnded(*handle, WNOHANG)) WatchUnwatchedChild(handle->pid);
  delete handle;
  ReapUnwatchedChildren();
  return 1;
}

}  // namespace platform
