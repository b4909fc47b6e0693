// Reading a shortcut in-process, two ways over the same files:
//
//   Corvane  the stand-in's link object as the program uses it for g and v:
//            CoCreateInstance(CLSID_ShellLink), IPersistFile::Load,
//            IShellLinkW::GetPath, IPropertyStore::GetValue of the
//            AppUserModelID, PropVariantClear, and the releases;
//   liblnk   liblnk_file_open on the same file and its local path
//            (liblnk_file_get_utf16_local_path), then close and free;
//   liblnk-memory  the same from the file's bytes already in memory (a
//            libbfio memory range), so without any file system work;
//   read     only open, fstat, read and close of the file: the floor of
//            any reader that starts from the path.
//
// One benchmark per sample and reader, and one over all samples in turn.
// After the runs a summary gives each sample's time for both readers and
// how many times faster the link object is.
//
// Usage: corvane_benchmarks [benchmark flags] [samples folder]
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <libbfio.h>
#include <liblnk.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "shell/com.h"
#include "shell/posix/host/native_text.h"
#include "shell/property_store.h"
#include "shell/shell_link.h"

namespace {

struct Sample {
  std::string name;  // file name without the folder
  std::string path;
  std::wstring widePath;
  std::vector<std::uint8_t> bytes;  // the file's contents, for liblnk-memory
};

std::vector<Sample> ListSamples(const std::string& folder) {
  std::vector<Sample> samples;
  if (DIR* directory = opendir(folder.c_str())) {
    while (const dirent* entry = readdir(directory)) {
      const std::string name = entry->d_name;
      if (name.size() < 4 || name.compare(name.size() - 4, 4, ".lnk") != 0) continue;
      const std::string path = folder + "/" + name;
      std::ifstream in(path, std::ios::binary);
      std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                      std::istreambuf_iterator<char>());
      samples.push_back({name, path, corvane::posix::DecodeNativeText(path), std::move(bytes)});
    }
    closedir(directory);
  }
  std::sort(samples.begin(), samples.end(),
            [](const Sample& a, const Sample& b) { return a.name < b.name; });
  return samples;
}

// One read through the link object; true when Load accepted the file.
bool ReadWithLinkObject(const Sample& sample) {
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link)))) {
    return false;
  }
  IPersistFile* file = nullptr;
  link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
  const bool loaded = SUCCEEDED(file->Load(sample.widePath.c_str(), STGM_READ));
  if (loaded) {
    wchar_t target[MAX_PATH] = {};
    benchmark::DoNotOptimize(link->GetPath(target, MAX_PATH, nullptr, 0));
    benchmark::DoNotOptimize(target);
    IPropertyStore* store = nullptr;
    link->QueryInterface(IID_IPropertyStore, reinterpret_cast<void**>(&store));
    PROPVARIANT value;
    benchmark::DoNotOptimize(store->GetValue(PKEY_AppUserModel_ID, &value));
    benchmark::DoNotOptimize(value);
    PropVariantClear(&value);
    store->Release();
  }
  file->Release();
  link->Release();
  return loaded;
}

// The local path of an opened liblnk file, then close.
void ReadLocalPath(liblnk_file_t* file, liblnk_error_t** error) {
  size_t size = 0;
  if (liblnk_file_get_utf16_local_path_size(file, &size, error) == 1 && size > 0) {
    std::vector<uint16_t> path(size);
    benchmark::DoNotOptimize(liblnk_file_get_utf16_local_path(file, path.data(), size, error));
    benchmark::DoNotOptimize(path.data());
  }
  liblnk_file_close(file, error);
}

// One read through liblnk from memory; true when it opened the bytes.
bool ReadWithLiblnkFromMemory(const Sample& sample) {
  libbfio_handle_t* range = nullptr;
  if (libbfio_memory_range_initialize(&range, nullptr) != 1) return false;
  libbfio_memory_range_set(range, const_cast<std::uint8_t*>(sample.bytes.data()),
                           sample.bytes.size(), nullptr);
  liblnk_file_t* file = nullptr;
  liblnk_error_t* error = nullptr;
  bool opened = false;
  if (liblnk_file_initialize(&file, &error) == 1) {
    opened = liblnk_file_open_file_io_handle(file, range, LIBLNK_OPEN_READ, &error) == 1;
    if (opened) ReadLocalPath(file, &error);
    liblnk_file_free(&file, nullptr);
  }
  liblnk_error_free(&error);
  libbfio_handle_free(&range, nullptr);
  return opened;
}

// One read through liblnk; true when it opened the file.
bool ReadWithLiblnk(const Sample& sample) {
  liblnk_file_t* file = nullptr;
  liblnk_error_t* error = nullptr;
  if (liblnk_file_initialize(&file, &error) != 1) {
    liblnk_error_free(&error);
    return false;
  }
  const bool opened = liblnk_file_open(file, sample.path.c_str(), LIBLNK_OPEN_READ, &error) == 1;
  if (opened) {
    ReadLocalPath(file, &error);
  }
  liblnk_error_free(&error);
  liblnk_file_free(&file, nullptr);
  return opened;
}

// Only reads the file, into a buffer of its size.
bool ReadFileOnly(const Sample& sample) {
  const int fd = open(sample.path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat status;
  bool read = false;
  if (fstat(fd, &status) == 0) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(status.st_size) + 1);
    read = ::read(fd, bytes.data(), bytes.size()) == status.st_size;
    benchmark::DoNotOptimize(bytes.data());
  }
  close(fd);
  return read;
}

template <bool (*Read)(const Sample&)>
void BM_One(benchmark::State& state, const Sample* sample) {
  bool accepted = false;
  for (auto _ : state) accepted = Read(*sample);
  state.SetItemsProcessed(state.iterations());
  if (!accepted) state.SetLabel("refused");
}

template <bool (*Read)(const Sample&)>
void BM_All(benchmark::State& state, const std::vector<Sample>* samples) {
  for (auto _ : state) {
    for (const Sample& sample : *samples) benchmark::DoNotOptimize(Read(sample));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(samples->size()));
}

// Prints as the console reporter does and keeps each run's CPU time per
// iteration, in nanoseconds, by benchmark name.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration && run.aggregate_name != "median") continue;
      const std::string name = run.run_name.function_name;
      times_[name] = run.GetAdjustedCPUTime() * Multiplier(run.time_unit);
    }
  }
  const std::map<std::string, double>& times() const { return times_; }

 private:
  static double Multiplier(benchmark::TimeUnit unit) {
    switch (unit) {
      case benchmark::kSecond:
        return 1e9;
      case benchmark::kMillisecond:
        return 1e6;
      case benchmark::kMicrosecond:
        return 1e3;
      default:
        return 1;
    }
  }
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const std::string folder = argc > 1 ? argv[1] : CORVANE_SAMPLES_DIR;
  const std::vector<Sample> samples = ListSamples(folder);
  if (samples.empty()) {
    std::fprintf(stderr, "no .lnk files in %s\n", folder.c_str());
    return 1;
  }
  if (FAILED(CoInitialize(nullptr))) return 1;

  std::vector<Sample> accepted;
  for (const Sample& sample : samples) {
    benchmark::RegisterBenchmark(("Corvane/" + sample.name).c_str(), BM_One<ReadWithLinkObject>,
                                 &sample);
    benchmark::RegisterBenchmark(("liblnk/" + sample.name).c_str(), BM_One<ReadWithLiblnk>,
                                 &sample);
    benchmark::RegisterBenchmark(("liblnk-memory/" + sample.name).c_str(),
                                 BM_One<ReadWithLiblnkFromMemory>, &sample);
    benchmark::RegisterBenchmark(("read/" + sample.name).c_str(), BM_One<ReadFileOnly>, &sample);
    if (ReadWithLinkObject(sample) && ReadWithLiblnk(sample)) accepted.push_back(sample);
  }
  // Only the files both readers accept, so both do the same files' work.
  benchmark::RegisterBenchmark("Corvane/all-accepted", BM_All<ReadWithLinkObject>, &accepted);
  benchmark::RegisterBenchmark("liblnk/all-accepted", BM_All<ReadWithLiblnk>, &accepted);
  benchmark::RegisterBenchmark("liblnk-memory/all-accepted", BM_All<ReadWithLiblnkFromMemory>,
                               &accepted);
  benchmark::RegisterBenchmark("read/all-accepted", BM_All<ReadFileOnly>, &accepted);

  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  // speed-up: how many times more reads per second the link object does.
  // CPU time per read: the machine may be shared, and the reads are all on
  // one thread.
  std::printf("\nCPU time per read (ns); speed-up = liblnk's time / Corvane's\n");
  std::printf("%-30s %10s %10s %10s %10s %8s %8s\n", "sample", "Corvane", "liblnk", "liblnk-mem",
              "read", "vs file", "vs mem");
  std::vector<std::string> names;
  for (const Sample& sample : samples) names.push_back(sample.name);
  names.push_back("all-accepted");
  for (const std::string& name : names) {
    const auto ours = reporter.times().find("Corvane/" + name);
    const auto theirs = reporter.times().find("liblnk/" + name);
    const auto memory = reporter.times().find("liblnk-memory/" + name);
    const auto floor = reporter.times().find("read/" + name);
    if (ours == reporter.times().end() || theirs == reporter.times().end() ||
        memory == reporter.times().end() || floor == reporter.times().end()) {
      continue;
    }
    std::printf("%-30s %10.0f %10.0f %10.0f %10.0f %7.2fx %7.2fx\n", name.c_str(), ours->second,
                theirs->second, memory->second, floor->second, theirs->second / ours->second,
                memory->second / ours->second);
  }
  CoUninitialize();
  benchmark::Shutdown();
  return 0;
}
