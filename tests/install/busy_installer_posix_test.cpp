// A silent run's wait for a busy Windows Installer, on a simulated machine, with a clock that only counts.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "install/package_execution.h"
#include "net/wait_clock.h"
#include "platform/posix/machine.h"
#include "tests/support/sim_machine_posix.h"

namespace {

// Another installation: the machine's "_MSIExecute" held with a write lock until it ends.
int StartInstallation() {
  const int fd = ::open((platform::posix::ObjectsFolderPath() + "_MSIExecute").c_str(), O_RDWR | O_CREAT, 0600);
  struct flock lock = {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  EXPECT_EQ(0, ::fcntl(fd, F_OFD_SETLK, &lock));
  return fd;
}

struct CountingClock : WaitClock {
  void Wait(uint32_t ms) override {
    EXPECT_EQ(kBusyInstallerStepMs, ms);
    if (++waits == endAt) ::close(installation);
  }
  int waits = 0, endAt = 0, installation = -1;
};

TEST(BusyInstaller, ASilentRunWaitsForTheOtherInstallationAndGivesUpAfterTheBound) {
  tavo_test::SimMachine machine;
  CountingClock clock;
  EXPECT_TRUE(WaitForIdleWindowsInstaller(clock));
  EXPECT_EQ(0, clock.waits);
  clock.installation = StartInstallation();
  clock.endAt = 3;
  EXPECT_TRUE(WaitForIdleWindowsInstaller(clock));
  EXPECT_EQ(3, clock.waits);
  clock = CountingClock();
  clock.installation = StartInstallation();
  EXPECT_FALSE(WaitForIdleWindowsInstaller(clock));
  EXPECT_EQ(static_cast<int>(kBusyInstallerWaitMs / kBusyInstallerStepMs), clock.waits);
  ::close(clock.installation);
}

}  // namespace
