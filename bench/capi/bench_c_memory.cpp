// What the C interface keeps in memory: the peak resident size of a process
// holding 1 and 1000 simulated sessions (each measured in a process of its
// own, since a peak only grows), and whether 1 000 000 simulated calls leave
// the heap or the resident size any larger than they found it.
//
//   bench_c_memory               prints the figures
//   bench_c_memory --hold N      opens and uses N sessions, prints its peak RSS in KiB

#include <malloc.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "capi/simulated_sessions.h"
#include "support/ratio_runner.h"

namespace {

using hvzelta::bench::Goal;
using hvzelta::bench::OpenSimulated;
using hvzelta::bench::PrintRow;
using hvzelta::bench::Row;
using hvzelta::bench::SetThenGet;

// A "VmRSS:"-like field of /proc/self/status, in bytes.
double StatusBytes(const char* field) {
  FILE* status = std::fopen("/proc/self/status", "r");
  if (!status) return 0;
  char line[256];
  double kib = 0;
  const std::size_t length = std::strlen(field);
  while (std::fgets(line, sizeof line, status)) {
    if (std::strncmp(line, field, length) == 0) kib = std::strtod(line + length, nullptr);
  }
  std::fclose(status);
  return kib * 1024;
}

double HeapInUse() {
  const struct mallinfo2 heap = mallinfo2();
  return static_cast<double>(heap.uordblks + heap.hblkhd);
}

std::string Bytes(double bytes) {
  char text[32];
  const double magnitude = bytes < 0 ? -bytes : bytes;
  if (magnitude < 1024) {
    std::snprintf(text, sizeof text, "%.0f B", bytes);
  } else if (magnitude < 1024 * 1024) {
    std::snprintf(text, sizeof text, "%.1f KiB", bytes / 1024);
  } else {
    std::snprintf(text, sizeof text, "%.2f MiB", bytes / (1024 * 1024));
  }
  return text;
}

std::string Growth(double bytes) { return (bytes >= 0 ? "+" : "") + Bytes(bytes); }

int Hold(int count) {
  const std::vector<ViSession> sessions = OpenSimulated(count);
  bool used = sessions.size() == static_cast<std::size_t>(count);
  for (const ViSession vi : sessions) used = used && SetThenGet(vi);
  if (used) std::printf("%.0f\n", StatusBytes("VmHWM:") / 1024);
  hvzelta::bench::CloseAll(sessions);
  return used ? 0 : 1;
}

// Peak RSS in bytes of this program holding `count` sessions; negative when
// that failed.
double PeakWithSessions(int count) {
  char self[PATH_MAX] = {};
  if (readlink("/proc/self/exe", self, sizeof self - 1) < 0) return -1;
  const std::string command = "'" + std::string(self) + "' --hold " + std::to_string(count);
  FILE* child = popen(command.c_str(), "r");
  if (!child) return -1;
  double kib = -1;
  if (std::fscanf(child, "%lf", &kib) != 1) kib = -1;
  return pclose(child) == 0 && kib > 0 ? kib * 1024 : -1;
}

void ReportPeaks() {
  constexpr int kMany = 1000;
  const double one = PeakWithSessions(1);
  const double many = PeakWithSessions(kMany);
  if (one < 0 || many < 0) {
    hvzelta::bench::PrintNotMeasured("peak RSS with 1 and 1000 simulated sessions", Goal::Report());
    return;
  }
  PrintRow(Row::kResult, "peak RSS of a process with 1 simulated session", Bytes(one), "-", "-", "report", "-");
  PrintRow(Row::kResult, "peak RSS per session, 1000 simulated sessions open", Bytes((many - one) / (kMany - 1)),
           "1000 sessions: " + Bytes(many), "-", "report", "-");
}

// A call that fails, and the reading of its message: errors allocate too.
bool FailAndReadError(ViSession vi) {
  constexpr ViAttr kNoSuchAttribute = 1;
  if (hvzelta_SetAttributeViReal64(vi, "Output1", kNoSuchAttribute, 0) >= VI_SUCCESS) return false;
  ViStatus code = VI_SUCCESS;
  ViChar description[512];
  return hvzelta_GetError(vi, &code, sizeof description, description) >= VI_SUCCESS;
}

// Runs `pairs` set+get pairs, and a failing call with its message every
// thousandth pair.
bool Exercise(ViSession vi, int pairs) {
  for (int i = 0; i < pairs; ++i) {
    if (!SetThenGet(vi)) return false;
    if (i % 1000 == 0 && !FailAndReadError(vi)) return false;
  }
  return true;
}

void ReportLeakCheck() {
  constexpr int kPairs = 500'000;
  const char* heapFigure = "leak check: heap in use after 1 000 000 simulated C calls";
  const char* rssFigure = "leak check: RSS after 1 000 000 simulated C calls";
  const ViSession vi = OpenSimulated();
  // The first calls fill what the driver keeps for good: caches, the
  // thread's error record.
  if (vi == VI_NULL || !Exercise(vi, 10'000)) {
    hvzelta::bench::PrintNotMeasured(heapFigure, Goal::Report());
    return;
  }
  const double heapBefore = HeapInUse();
  const double rssBefore = StatusBytes("VmRSS:");
  const bool ran = Exercise(vi, kPairs);
  const double heapGrowth = HeapInUse() - heapBefore;
  const double rssGrowth = StatusBytes("VmRSS:") - rssBefore;
  hvzelta_close(vi);
  if (!ran) {
    hvzelta::bench::PrintNotMeasured(heapFigure, Goal::Report(), Row::kResult, "NOT MEASURED (a call failed)");
    return;
  }
  // A leak of one allocation per call would be megabytes.
  constexpr double kHeapSlack = 64 * 1024;
  constexpr double kRssSlack = 1024 * 1024;
  PrintRow(Row::kResult, heapFigure, Growth(heapGrowth), "before: " + Bytes(heapBefore), "-",
           "<= " + Growth(kHeapSlack), heapGrowth <= kHeapSlack ? "PASS" : "MISS");
  PrintRow(Row::kResult, rssFigure, Growth(rssGrowth), "before: " + Bytes(rssBefore), "-", "<= " + Growth(kRssSlack),
           rssGrowth <= kRssSlack ? "PASS" : "MISS");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--hold") == 0) return Hold(std::atoi(argv[2]));
  ReportPeaks();
  ReportLeakCheck();
  return 0;
}
