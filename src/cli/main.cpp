// hoshibako-cli: the conversion job of the dialog program, run from a
// terminal or a script. The same job code runs: a worker thread walks the
// tree while this thread handles its messages, counts the folders and draws
// the progress, as the progress dialog does.

#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/cli_report.h"
#include "cli/progress_display.h"
#include "cli/queued_message_target.h"
#include "cli/terminal.h"
#include "job/conversion_job.h"
#include "job/folder_result.h"
#include "job/messages.h"
#include "job/options_record.h"
#include "job/start_validation.h"
#include "util/file_system.h"
#include "util/unicode.h"

#ifndef HOSHIBAKO_VERSION
#define HOSHIBAKO_VERSION "unknown"
#endif

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailures = 1;
constexpr int kExitNotStarted = 2;
constexpr int kExitCancelled = 130;

constexpr char kHelpHint[] = "Try 'hoshibako-cli --help'.\n";

void PrintError(const std::u16string& text) {
  std::fputs(("hoshibako-cli: " + Utf16ToUtf8(text) + "\n").c_str(), stderr);
}

// The first line of the help: how the program is called.
void PrintUsageLine() {
  const std::string usage = CliUsageText();
  std::fputs(usage.substr(0, usage.find('\n') + 1).c_str(), stderr);
  std::fputs(kHelpHint, stderr);
}

// The dialog's warning for a failed start check, followed by the folder it
// is about (as checked, made absolute), since a terminal user may have typed
// several. A folder that was not given at all is a usage error: the usage
// line follows instead.
void PrintStartRefusal(StartValidation check, const JobSettings& settings) {
  std::u16string text = StartValidationMessage(check);
  switch (check) {
    case StartValidation::InputNotFound:
    case StartValidation::InputInsideOutput:
      text += u" '" + VisibleText(settings.inputFolder) + u"'";
      break;
    case StartValidation::OutputNotFound:
    case StartValidation::OutputInsideInput:
      text += u" '" + VisibleText(settings.outputFolder) + u"'";
      break;
    default:
      break;
  }
  PrintError(text);
  if (check == StartValidation::InputMissing || check == StartValidation::OutputMissing) PrintUsageLine();
}

// The dialog's question about keeping the scripts' contents. Asked only on
// a terminal; elsewhere -y must answer it beforehand.
bool ConfirmKeepContents() {
  std::u16string question = KeepContentsQuestion();
  std::u16string plain;
  for (char16_t c : question) {
    if (c != u'\r') plain += c;
  }
  std::fputs((Utf16ToUtf8(plain) + "\n").c_str(), stderr);
  if (!StandardInputIsTerminal()) {
    std::fputs("hoshibako-cli: no terminal to answer on; pass -y to continue\n", stderr);
    return false;
  }
  std::fputs("[y/N] ", stderr);
  std::fflush(stderr);
  std::string answer;
  if (!ReadStandardInputLine(answer)) return false;
  return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes" || answer == "YES";
}

int ExitCodeOf(const std::vector<FolderResult>& rows, bool cancelled) {
  if (cancelled) return kExitCancelled;
  for (const FolderResult& row : rows) {
    if (row.status != FolderStatus::Ok) return kExitFailures;
  }
  // A reference that was already missing in the input is reported but was
  // not broken by the run.
  if (OutputLostReferences(rows)) return kExitFailures;
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  PrepareTerminalOutput();
  const std::vector<std::string> arguments = CommandLineArguments(argc, argv);
  if (arguments.empty()) {
    PrintUsageLine();
    return kExitNotStarted;
  }
  CliOptions options;
  std::string error;
  if (!ParseCliArguments(arguments, options, error)) {
    std::fprintf(stderr, "hoshibako-cli: %s\n%s", error.c_str(), kHelpHint);
    return kExitNotStarted;
  }
  if (options.help) {
    std::fputs(CliUsageText().c_str(), stdout);
    return kExitOk;
  }
  if (options.version) {
    std::puts("hoshibako-cli " HOSHIBAKO_VERSION);
    return kExitOk;
  }

  const std::u16string current = CurrentDirectory();
  options.settings.inputFolder = AbsoluteFolder(options.settings.inputFolder, current);
  options.settings.outputFolder = AbsoluteFolder(options.settings.outputFolder, current);

  const StartValidation check = ValidateStart(options.settings.inputFolder, options.settings.outputFolder);
  if (check != StartValidation::Valid) {
    PrintStartRefusal(check, options.settings);
    return kExitNotStarted;
  }
  if ((options.settings.options & KeepBmsUnchanged) != 0 && !options.answerYes && !ConfirmKeepContents()) {
    return kExitNotStarted;
  }

  if (options.update && CompareOptionsRecord(options.settings.outputFolder, options.settings.options) ==
                            OptionsRecordState::Different) {
    PrintError(
        u"the options recorded in the output folder differ from this run's; converting everything again");
  }

  ConversionJob job;
  job.settings = options.settings;
  job.jobs = options.jobs;
  job.update = options.update;
  QueuedMessageTarget loop;
  job.target = &loop;

  const bool live = StandardErrorIsTerminal();
  ProgressDisplay display(stderr, live, live ? StandardErrorColumns() : 80, StandardErrorTakesEscapes());
  InstallInterruptHandler(&job.cancelRequested);

  if (!StartWithInterruptBlocked([&job] { return job.workerThread.Start([&job] { WorkerMain(job); }); })) {
    std::fputs("Fatal error!: Raised fatal error in CreateThread().\n", stderr);
    return kExitFailures;
  }

  // Ctrl+C only sets the flag (a signal handler can do no more); the loop
  // passes it on once, which wakes the run's waits.
  bool cancelPassedOn = false;
  const auto noticeCancel = [&] {
    if (!job.cancelRequested.load()) return;
    display.ShowFinishing();
    if (!cancelPassedOn) job.RequestCancel();
    cancelPassedOn = true;
  };
  const auto handle = [&](std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    noticeCancel();
    switch (message) {
      case MSG_PREPARE_PROGRESS:
        job.PrepareProgress();
        display.SetRange(job.foldersTotal);
        return true;
      case MSG_FOLDER_POSITION:
        display.SetFolderPosition(static_cast<std::int32_t>(wParam));
        return true;
      case MSG_FOLDER_TEXT:
        display.SetFolderText(*TakeTextParam(lParam));
        return true;
      case MSG_FILE_TEXT:
        display.SetFileText(*TakeTextParam(lParam));
        return true;
      case MSG_WORKER_DONE:
        job.workerThread.Join();
        return false;
      default:
        return true;
    }
  };
  const auto idle = [&] { noticeCancel(); };
  loop.Run(handle, idle, 100);
  display.Clear();
  for (const std::u16string& warning : job.warnings) PrintError(warning);

  const bool cancelled = job.cancelRequested.load();
  const bool checked = (options.settings.options & CheckReferences) != 0;
  const std::string report = options.json ? ResultJsonText(job.results, job.totals, cancelled, checked)
                                          : ResultTableText(job.results, job.totals, cancelled, checked);
  std::fputs(report.c_str(), stdout);
  std::fflush(stdout);
  return ExitCodeOf(job.results, cancelled);
}
