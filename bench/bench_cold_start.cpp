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

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr int kSide = 1400;

int64_t MonotonicNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

std::vector<uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A copy of the demo disc whose three covers are 1400 x 1400 JPEG files.
const fs::path& Disc() {
  static const fs::path disc = [] {
    fs::path dir = fs::temp_directory_path() / ("qv_cold_start_" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::copy(QV_DEMO_DISC, dir, fs::copy_options::recursive);
    fs::copy_file(dir / "Covers" / "front.jpg", dir / "Covers" / "inside.jpg");
    std::ifstream in(dir / "quorvane.ini");
    std::stringstream text;
    text << in.rdbuf();
    std::string ini = text.str();
    const std::string from = "Covers\\inside.bmp";
    ini.replace(ini.find(from), from.size(), "Covers\\inside.jpg");
    std::ofstream(dir / "quorvane.ini", std::ios::trunc) << ini;
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
    for (const std::vector<uint8_t>& bytes : files) {
      jpeg_decompress_struct d;
      jpeg_error_mgr err;
      d.err = jpeg_std_error(&err);
      jpeg_create_decompress(&d);
      jpeg_mem_src(&d, bytes.data(), bytes.size());
      jpeg_read_header(&d, TRUE);
      d.out_color_space = JCS_EXT_BGRA;
      jpeg_start_decompress(&d);
      const size_t stride = static_cast<size_t>(d.output_width) * 4;
      std::unique_ptr<uint8_t, decltype(&std::free)> out(static_cast<uint8_t*>(std::malloc(stride * d.output_height)),
                                                          &std::free);
      while (d.output_scanline < d.output_height) {
        JSAMPROW row = out.get() + stride * d.output_scanline;
        jpeg_read_scanlines(&d, &row, 1);
      }
      jpeg_finish_decompress(&d);
      jpeg_destroy_decompress(&d);
      benchmark::DoNotOptimize(out.get());
    }
    const double seconds = static_cast<double>(MonotonicNs() - start) / 1e9;
    state.SetIterationTime(seconds);
    gMilliseconds["decodes"].push_back(seconds * 1e3);
  }
}
BENCHMARK(DecodeThreeCovers)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

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
  const double bare = Median(gMilliseconds["bare"]), launcher = Median(gMilliseconds["launcher"]),
               decodes = Median(gMilliseconds["decodes"]);
  const double pixelsMiB = 3.0 * kSide * kSide * 4 / (1024.0 * 1024.0);
  const double bareRss = Median(gResidentMiB["bare"]), launcherRss = Median(gResidentMiB["launcher"]);
  for (const char* name : {"bare", "launcher"}) {
    std::printf("\n%s starts (ms):", name);
    for (double ms : gMilliseconds[name]) std::printf(" %.1f", ms);
  }
  std::printf("\n");
  std::printf("\nmedians: launcher %.1f ms, bare Qt window %.1f ms, three decodes %.1f ms\n", launcher, bare, decodes);
  std::printf("start-up goal: %.1f <= %.1f + %.1f + 20 = %.1f ms: %s\n", launcher, bare, decodes, bare + decodes + 20,
              launcher <= bare + decodes + 20 ? "met" : "NOT met");
  std::printf("memory goal: %.1f <= %.1f + %.1f (pixels) + 15 = %.1f MiB: %s\n", launcherRss, bareRss, pixelsMiB,
              bareRss + pixelsMiB + 15, launcherRss <= bareRss + pixelsMiB + 15 ? "met" : "NOT met");
  std::error_code ignored;
  fs::remove_all(Disc(), ignored);
  return 0;
}
