#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

#include "cli/terminal.h"

namespace {

// The handler may only do async-signal-safe work: a lock-free atomic store
// and _exit.
static_assert(std::atomic<bool>::is_always_lock_free);
std::atomic<bool>* interruptFlag = nullptr;
volatile sig_atomic_t interruptCount = 0;

extern "C" void OnInterrupt(int) {
  if (interruptCount > 0) _exit(130);
  interruptCount = 1;
  if (interruptFlag != nullptr) interruptFlag->store(true);
}

}  // namespace

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  // File names and arguments are UTF-8 bytes here already.
  return std::vector<std::string>(argv + 1, argv + argc);
}

void PrepareTerminalOutput() {}

// Terminals here all take the VT escapes.
bool StandardErrorTakesEscapes() { return true; }

bool StandardInputIsTerminal() { return isatty(STDIN_FILENO) == 1; }

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

std::size_t StandardErrorColumns() {
  struct winsize size {};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

void InstallInterruptHandler(std::atomic<bool>* cancelFlag) {
  interruptFlag = cancelFlag;
  interruptCount = 0;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
}

bool StartWithInterruptBlocked(const std::function<bool()>& start) {
  sigset_t blocked;
  sigset_t previous;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGINT);
  pthread_sigmask(SIG_BLOCK, &blocked, &previous);
  const bool started = start();
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return started;
}
