// File logging throughput: records per second through a basic logger and a
// file handler (basic formatter, roll-over at 4 MiB through 3 files), for
// one and two threads sharing the logger.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "qlg.h"

namespace {

namespace fs = std::filesystem;

std::string gDir;
QlgObject *gLogger = nullptr;

void setUp(const benchmark::State &state) {
  if (state.thread_index() != 0) return;
  std::string tmpl = (fs::temp_directory_path() / "qlgbench-XXXXXX").string();
  if (mkdtemp(tmpl.data()) == nullptr) std::abort();
  gDir = tmpl;
  QlgOpenToolkit(nullptr);
  gLogger = QlgGetObject("bench.trace", "qlg_basiclogger");
  QlgObject *handler = QlgGetObject("FHbench.trace", "qlg_filehandler");
  QlgSetObjProp(gLogger, "level", "1000");
  QlgSetObjProp(handler, "fileName", (gDir + "/bench.log").c_str());
  QlgSetObjPropInt(handler, "maxFileSize", 4 << 20);
  QlgSetObjPropInt(handler, "maxFiles", 3);
  QlgSetObjProp(handler, "filePermission", "0660");
  QlgAddListener(gLogger, handler);
  QlgReleaseObject(handler);
}

void tearDown(const benchmark::State &state) {
  if (state.thread_index() != 0) return;
  QlgReleaseObject(gLogger);
  gLogger = nullptr;
  QlgCloseToolkit();
  std::error_code ec;
  fs::remove_all(gDir, ec);
}

void BM_FileRecord(benchmark::State &state) {
  const int thread = state.thread_index();
  int line = 0;
  for (auto _ : state) {
    ++line;
    QlgLogDebugMin(gLogger, "bench/quill_file.cc", "[BM_FileRecord]", line, "record %d from thread %d: %s",
                   QLG_INT, line, QLG_INT, thread, QLG_STRING, "a typical trace text of some length",
                   QLG_END);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FileRecord)->Setup(setUp)->Teardown(tearDown)->Threads(1)->Threads(2)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
