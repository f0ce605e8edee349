// A small look at the platform library's foundation while the game itself cannot start yet: it starts the
// memory system and the timer, identifies the processor and measures its clock, then shows a few seconds of
// tick counts and system-task runs.
#include <cstdio>
#include <cstdlib>

#include "platformlib/core/cpu.h"
#include "platformlib/core/memclass.h"
#include "platformlib/core/queue.h"
#include "platformlib/core/timer.h"

namespace {

int taskruns = 0;
int counttask() {
  ++taskruns;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = 3;
  if (argc > 1) seconds = std::atoi(argv[1]);
  if (seconds < 1) seconds = 1;
  std::printf("teebox platform demo: this is not the game. It exercises the platform library's memory classes,\n"
              "timer, system tasks and processor identification, then exits.\n\n");

  if (!initmem()) {
    std::printf("memory: could not take 16 MB from the heap\n");
    return 1;
  }
  std::printf("memory: class \"%s\" started, largest free block %d bytes\n", memclasses[0]->name, largestmem(0));
  void* block = reservememadr("demo block", 1000, 0);
  std::printf("memory: reserved \"%s\" of %d bytes, blocks %s\n", memblockname(block), memblocksize(block),
              validatemem(0) ? "intact" : "damaged");
  purgememadr(block);

  const int rate = inittimer(100);
  std::printf("timer: %d ticks per second\n", rate);

  identifycpu();
  std::printf("processor: vendor \"%s\", family %d, model %d, stepping %d; MMX %s, time-stamp counter %s\n",
              cpuvendor[0] ? cpuvendor : "(none)", cpufamily, cpumodel, cpustepping, cpuhasmmx ? "yes" : "no",
              cputsc ? "yes" : "no");
  std::printf("processor: measuring the clock rate (about a second)...\n");
  std::fflush(stdout);
  const uint32_t hz = getcpuspeed();
  std::printf("processor: %u MHz (rounded to a nominal clock rate; faster clocks saturate the 32-bit word)\n",
              hz / 1000000);

  addsystemtask(counttask, 10, 0);
  std::printf("\nsystem task every 10 ticks; watching for %d seconds:\n", seconds);
  for (int half = 1; half <= seconds * 2; ++half) {
    waitticks(static_cast<uint32_t>(rate / 2));
    std::printf("  %4.1f s: library ticks %5u, 18.2 Hz count %4u, task runs %3d\n", half / 2.0, gettimerticks(),
                get182count(), taskruns);
    std::fflush(stdout);
  }
  removesystemtask(counttask);
  stoptimer();
  exitmem();
  std::printf("\ndone.\n");
  return 0;
}
