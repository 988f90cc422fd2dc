// bench_ping FOLDER
// FOLDER holds the running loopback peer (bench/ping.server.sh: its ports in
// FOLDER/ports). Pings 16, 500 and 2,000 rows that all name the echo port,
// the median of three runs each, from the start of the run to its
// completion callback, and prints
//   ping16: ours <ms> ms    ping500: ours <ms> ms    ping2000: ours <ms> ms
// bench/ping.ref.sh does the same connect, send and receive with a Python
// asyncio client.
#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchIo.h"
#include "ServerPing.h"

namespace {

struct Done {
  double at = 0;
};

void OnDone(void* context) { static_cast<Done*>(context)->at = benchio::Now(); }

int EchoPort(const std::string& folder) {
  std::string ports = benchio::ReadAll(folder + "\\ports");
  size_t at = ports.find("echo ");
  return at == std::string::npos ? 0 : atoi(ports.c_str() + at + 5);
}

// Milliseconds to the callback, or -1 when a row went unanswered.
double OneRun(int rows, int port) {
  ServerList list;
  for (int i = 0; i < rows; ++i) {
    ServerEntry e;
    e.name = "s" + std::to_string(i);
    e.ip = "127.0.0.1";
    e.pingport = static_cast<uint16_t>(port);
    list.Add(e);
  }
  Done done;
  list.SetCompletion(&OnDone, &done);
  double start = benchio::Now();
  ServerPing::RunPing(list, ServerPing::kPingWaitMs, nullptr);
  int unanswered = 0;
  for (const ServerEntry& e : list.Rows()) unanswered += e.ping >= 10000;
  if (unanswered != 0) {
    fprintf(stderr, "%d rows: %d unanswered\n", rows, unanswered);
    return -1;
  }
  return (done.at - start) * 1000;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: bench_ping FOLDER\n");
    return 2;
  }
  int port = EchoPort(argv[1]);
  if (port == 0) {
    fprintf(stderr, "no echo port in %s\\ports\n", argv[1]);
    return 1;
  }
  int failed = 0;
  for (int rows : {16, 500, 2000}) {
    std::vector<double> ms;
    for (int i = 0; i < 3; ++i) ms.push_back(OneRun(rows, port));
    std::sort(ms.begin(), ms.end());
    if (ms[0] < 0) {
      ++failed;
      continue;
    }
    printf("ping%d: ours %.1f ms\n", rows, ms[1]);
    fflush(stdout);
  }
  return failed == 0 ? 0 : 1;
}
