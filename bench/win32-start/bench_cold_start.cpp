// Cold start to the first frame on Windows: quorvane.exe on a disc with three 1400 x 1400 JPEG
// covers, from the moment it is started to the moment its first frame is painted, beside a bare
// Win32 window program built with the same toolchain and started the same way, and beside
// libjpeg's own decode of the three covers, in one run. The working set of each program at its
// first frame is reported as a counter. Runs under Wine with a display (bench/win32-start/cold-start.sh).
//
// Goals: launcher <= bare window + the three decodes + 20 ms; launcher's working set <= the bare
// window's + the covers' own pixels + 15 MB. The summary after the table says whether they hold.
#include <benchmark/benchmark.h>

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "bench/ColdStart.h"

namespace {

namespace fs = std::filesystem;
using namespace cold_start;

int64_t CounterNs() {
  LARGE_INTEGER now{}, frequency{};
  ::QueryPerformanceCounter(&now);
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<int64_t>(static_cast<double>(now.QuadPart) * 1e9 / static_cast<double>(frequency.QuadPart));
}

// A copy of the demo disc whose three covers are 1400 x 1400 JPEG files, with quorvane.exe.
const fs::path& Disc() {
  static const fs::path disc = [] {
    fs::path dir = fs::temp_directory_path() / ("qv_cold_start_" + std::to_string(::GetCurrentProcessId()));
    MakeDisc(dir);
    // The launcher as the disc carries it, stripped, where cold-start.sh made that copy.
    const char* launcher = std::getenv("QV_LAUNCHER");
    fs::copy_file(launcher && *launcher ? launcher : QV_LAUNCHER, dir / "quorvane.exe",
                  fs::copy_options::overwrite_existing);
    return dir;
  }();
  return disc;
}

struct TStart {
  double Seconds = 0;
  double WorkingSetMiB = 0;
};

// Starts the program in the folder and waits for its first frame; the program is ended afterwards.
TStart StartToFirstFrame(benchmark::State& state, const fs::path& program, const fs::path& folder) {
  const fs::path log = fs::temp_directory_path() / ("qv_first_frame_" + std::to_string(::GetCurrentProcessId()));
  fs::remove(log);
  ::SetEnvironmentVariableW(L"QV_FIRST_FRAME_LOG", log.wstring().c_str());
  std::wstring command = L"\"" + program.wstring() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  TStart result;
  const int64_t start = CounterNs();
  if (!::CreateProcessW(program.wstring().c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.wstring().c_str(), &startup, &process)) {
    state.SkipWithError(("cannot start " + program.string()).c_str());
    return result;
  }
  int64_t frame = 0;
  while (!frame && CounterNs() - start < 20'000'000'000LL) {
    ::Sleep(1);
    std::ifstream in(log);
    long long value = 0;
    if (in >> value) frame = value;
  }
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof memory;
  if (::GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory))
    result.WorkingSetMiB = static_cast<double>(memory.WorkingSetSize) / (1024.0 * 1024.0);
  ::TerminateProcess(process.hProcess, 0);
  ::WaitForSingleObject(process.hProcess, 5000);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  std::error_code ignored;
  fs::remove(log, ignored);
  ::Sleep(150);
  if (!frame) {
    state.SkipWithError(("no first frame from " + program.string()).c_str());
    return result;
  }
  result.Seconds = static_cast<double>(frame - start) / 1e9;
  return result;
}

std::map<std::string, std::vector<double>> gMilliseconds;
std::map<std::string, std::vector<double>> gWorkingSetMiB;

void Record(benchmark::State& state, const std::string& name, const TStart& start) {
  state.SetIterationTime(start.Seconds);
  gMilliseconds[name].push_back(start.Seconds * 1e3);
  gWorkingSetMiB[name].push_back(start.WorkingSetMiB);
  state.counters["working_set_MiB"] = start.WorkingSetMiB;
}

void BareWin32Window(benchmark::State& state) {
  for (auto _ : state) Record(state, "bare", StartToFirstFrame(state, QV_BARE_WINDOW, fs::temp_directory_path()));
}
BENCHMARK(BareWin32Window)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void LauncherOnDisc(benchmark::State& state) {
  const fs::path& disc = Disc();
  for (auto _ : state) Record(state, "launcher", StartToFirstFrame(state, disc / "quorvane.exe", disc));
}
BENCHMARK(LauncherOnDisc)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void DecodeThreeCovers(benchmark::State& state) {
  std::vector<std::vector<uint8_t>> files;
  for (const char* name : {"front.jpg", "inside.jpg", "back.jpg"}) files.push_back(ReadBytes(Disc() / "Covers" / name));
  for (auto _ : state) {
    const int64_t start = CounterNs();
    for (const std::vector<uint8_t>& bytes : files) DecodeWithLibjpeg(bytes);
    const double seconds = static_cast<double>(CounterNs() - start) / 1e9;
    state.SetIterationTime(seconds);
    gMilliseconds["decodes"].push_back(seconds * 1e3);
  }
}
BENCHMARK(DecodeThreeCovers)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintSummary("bare Win32 window", "working set", gMilliseconds, gWorkingSetMiB);
  std::error_code ignored;
  fs::remove_all(Disc(), ignored);
  return 0;
}
