// vzDevSim: serves simulated devices on loopback ports until SIGTERM or SIGINT.
#include <pthread.h>
#include <signal.h>

#include <cstdio>

#include "DevSim.h"
#include "SimCommandLine.h"

int main(int argc, char** argv) {
  vzsim::SimCommandLine cmd;
  if (!cmd.Parse(argc, argv)) {
    std::fprintf(stderr, "vzDevSim: %s\n%s", cmd.error.c_str(), vzsim::SimCommandLine::Usage().c_str());
    return 2;
  }
  if (cmd.help) {
    std::fputs(vzsim::SimCommandLine::Usage().c_str(), stdout);
    return 0;
  }
  // Block the stop signals before any thread starts, so every thread
  // inherits the mask and only sigwait below receives them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  vzsim::DevSim sim(cmd.options);
  if (!sim.Start()) {
    std::fprintf(stderr, "vzDevSim: %s\n", sim.Error().c_str());
    return 1;
  }
  if (cmd.http && !sim.StartHttp()) {
    std::fprintf(stderr, "vzDevSim: %s\n", sim.Error().c_str());
    sim.Stop();
    return 1;
  }
  for (int k = 0; k < sim.DeviceCount(); ++k) {
    sim.SetFault(k, cmd.fault, cmd.faultArg, cmd.faultCmd);
    if (cmd.alarmEvery_s > 0) sim.SetAlarmSchedule(k, cmd.alarmEvery_s * 1000, cmd.alarmEvery_s * 500);
    std::printf("device %d listening on 127.0.0.1:%u\n", k, static_cast<unsigned>(sim.Port(k)));
  }
  // After every listening line, so a reader of those needs no change.
  for (int k = 0; cmd.http && k < sim.DeviceCount(); ++k) {
    std::printf("device %d web on 127.0.0.1:%u\n", k, static_cast<unsigned>(sim.HttpPort(k)));
  }
  std::fflush(stdout);

  int received = 0;
  sigwait(&stopSignals, &received);
  if (cmd.options.verbose) std::fprintf(stderr, "vzDevSim: signal %d, stopping\n", received);
  sim.Stop();
  return 0;
}
