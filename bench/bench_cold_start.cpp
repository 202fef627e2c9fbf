// Cold start to the first frame: the launcher on a disc with three 1400 x 1400 JPEG covers, from
// the moment it is started to the moment its first composed frame has been handed to the window
// system, beside a bare Qt window program started the same way and beside libjpeg's own decode of
// the three cover files, in one run. Needs an X display (bench/cold-start.sh starts Xvfb). The
// resident size of each program at its first frame is reported as a counter.
//
// Goals: launcher <= bare window + the three decodes + 20 ms; launcher's resident size <= the bare
// window's + the covers' own pixels + 15 MB. The summary after the table says whether they hold.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "bench/ColdStart.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace cold_start;

int64_t MonotonicNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// A copy of the demo disc whose three covers are 1400 x 1400 JPEG files.
const fs::path& Disc() {
  static const fs::path disc = [] {
    fs::path dir = fs::temp_directory_path() / ("qv_cold_start_" + std::to_string(getpid()));
    MakeDisc(dir);
    // The run command links the launcher into the demo disc; this copy is ours, not that link's.
    fs::remove(dir / "quorvane");
    fs::copy_file(QV_LAUNCHER, dir / "quorvane");
    return dir;
  }();
  return disc;
}

long ResidentKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  return 0;
}

struct TStart {
  double Seconds = 0;
  long ResidentKiB = 0;
};

// Starts the program (no shell) in the folder and waits for its first frame; the program is ended
// afterwards. Fails the benchmark when no frame comes within 20 s.
TStart StartToFirstFrame(benchmark::State& state, const fs::path& program, const fs::path& folder) {
  // The program writes its first frame's time into a pipe this process sleeps on: polling a file
  // would take CPU from the program being timed, and the launcher uses both cores of a small
  // machine while it starts.
  const fs::path log = fs::temp_directory_path() / ("qv_first_frame_" + std::to_string(getpid()));
  fs::remove(log);
  if (mkfifo(log.c_str(), 0600) != 0) {
    state.SkipWithError("cannot make the first-frame pipe");
    return {};
  }
  const int pipe = open(log.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    if (std::string(*e).rfind("QV_FIRST_FRAME_LOG=", 0) != 0) env.emplace_back(*e);
  env.push_back("QV_FIRST_FRAME_LOG=" + log.string());
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string programText = program.string();
  char* argv[] = {programText.data(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int64_t start = MonotonicNs();
  const int failed = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  TStart result;
  if (failed) {
    state.SkipWithError(("cannot start " + program.string()).c_str());
    return result;
  }
  int64_t frame = 0;
  std::string line;
  while (!frame && MonotonicNs() - start < 20'000'000'000LL) {
    pollfd ready{pipe, POLLIN, 0};
    if (poll(&ready, 1, 100) <= 0) continue;
    char bytes[64];
    const ssize_t got = read(pipe, bytes, sizeof bytes);
    if (got <= 0) continue;
    line.append(bytes, static_cast<size_t>(got));
    if (line.find('\n') != std::string::npos) frame = std::strtoll(line.c_str(), nullptr, 10);
  }
  result.ResidentKiB = ResidentKiB(pid);
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  if (pipe >= 0) close(pipe);
  fs::remove(log);
  // The window server tears the killed program's windows down after it is gone; the next start
  // should not share the machine with that.
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  if (!frame) {
    state.SkipWithError(("no first frame from " + program.string()).c_str());
    return result;
  }
  result.Seconds = static_cast<double>(frame - start) / 1e9;
  return result;
}

std::map<std::string, std::vector<double>> gMilliseconds;
std::map<std::string, std::vector<double>> gResidentMiB;

void Record(benchmark::State& state, const std::string& name, const TStart& start) {
  state.SetIterationTime(start.Seconds);
  gMilliseconds[name].push_back(start.Seconds * 1e3);
  gResidentMiB[name].push_back(start.ResidentKiB / 1024.0);
  state.counters["resident_MiB"] = start.ResidentKiB / 1024.0;  // the last start's
}

void BareQtWindow(benchmark::State& state) {
  for (auto _ : state) Record(state, "bare", StartToFirstFrame(state, QV_BARE_WINDOW, fs::temp_directory_path()));
}
BENCHMARK(BareQtWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void LauncherOnDisc(benchmark::State& state) {
  const fs::path& disc = Disc();
  for (auto _ : state) Record(state, "launcher", StartToFirstFrame(state, disc / "quorvane", disc));
}
BENCHMARK(LauncherOnDisc)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// libjpeg's own decode of the three cover files, one after the other, to B, G, R, A.
void DecodeThreeCovers(benchmark::State& state) {
  std::vector<std::vector<uint8_t>> files;
  for (const char* name : {"front.jpg", "inside.jpg", "back.jpg"}) files.push_back(ReadBytes(Disc() / "Covers" / name));
  for (auto _ : state) {
    const int64_t start = MonotonicNs();
    for (const std::vector<uint8_t>& bytes : files) DecodeWithLibjpeg(bytes);
    const double seconds = static_cast<double>(MonotonicNs() - start) / 1e9;
    state.SetIterationTime(seconds);
    gMilliseconds["decodes"].push_back(seconds * 1e3);
  }
}
BENCHMARK(DecodeThreeCovers)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
    std::fprintf(stderr, "No display: run bench/cold-start.sh, which starts Xvfb\n");
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintSummary("bare Qt window", "resident size", gMilliseconds, gResidentMiB);
  std::error_code ignored;
  fs::remove_all(Disc(), ignored);
  return 0;
}
