#include "job/conversion_job.h"

#include <utility>

#include "audio/wav_to_ogg_converter.h"
#include "bms/bmson.h"
#include "bms/script_rewriter.h"
#include "bms/text_file.h"
#include "image/bmp_to_png_converter.h"
#include "job/chart_mode.h"
#include "job/local_time.h"
#include "job/messages.h"
#include "job/reference_check.h"
#include "job/run_log.h"
#include "util/file_system.h"
#include "util/path.h"

namespace {

// The two lists one pass over a folder listing yields, in listing order.
struct FolderListing {
  std::vector<std::u16string> subfolders;
  std::vector<std::u16string> files;
};

// Sorts a folder's entries into subfolders and files. A link that leads to a
// folder is neither: descending into it could lead back up the tree and
// recurse without end, and copying it as a file would fail for every run, so
// it is left out of the output altogether. A link to a file is a file.
bool ListFolder(const std::u16string& folder, FolderListing& listing) {
  std::vector<DirectoryEntry> entries;
  if (!ListDirectory(folder, entries)) return false;
  for (DirectoryEntry& entry : entries) {
    if (entry.name == u"." || entry.name == u"..") continue;
    if (entry.isDirectory) {
      if (!entry.isLink) listing.subfolders.push_back(std::move(entry.name));
    } else {
      listing.files.push_back(std::move(entry.name));
    }
  }
  return true;
}

bool IsScriptName(const std::u16string& name) {
  return HasExtension(name, u".bms") || HasExtension(name, u".bme") || HasExtension(name, u".bml") ||
         HasExtension(name, u".pms");
}

enum class Handler { Sound, Image, Script, Bmson, Chart, Copy };

// The first rule that applies wins; whatever no rule claims is copied.
// `namedExactly` matters to the chart-preserving mode only.
Handler ChooseHandler(OptionFlags options, const std::u16string& name, bool namedExactly) {
  if ((options & PreserveCharts) != 0) {
    switch (ChoosePreservingRoute(options, name, namedExactly)) {
      case PreservingRoute::Chart:
        return Handler::Chart;
      case PreservingRoute::Sound:
        return Handler::Sound;
      case PreservingRoute::Image:
        return Handler::Image;
      case PreservingRoute::Copy:
        return Handler::Copy;
    }
  }
  if ((options & CompressSound) != 0 && HasExtension(name, u".wav")) return Handler::Sound;
  if ((options & CompressImages) != 0 && HasExtension(name, u".bmp")) return Handler::Image;
  if ((options & ScriptRewriteMask) != 0 && IsScriptName(name)) return Handler::Script;
  // With the contents kept, a bmson chart is copied as it always was.
  if ((options & ScriptRewriteMask) != 0 && (options & KeepBmsUnchanged) == 0 && IsBmsonName(name)) {
    return Handler::Bmson;
  }
  return Handler::Copy;
}

}  // namespace

void ConversionJob::SendText(std::uint32_t message, std::u16string text) {
  if (target == nullptr) return;
  // The receiver owns the text from here on and frees it after handling.
  target->SendToDialog(message, 0, TextParam(std::move(text)));
}

void ConversionJob::PrepareProgress() { foldersTotal = CountFolders(settings.inputFolder); }

bool ConversionJob::ProcessFolder(TextFile& log, const std::u16string& inputFolder,
                                  const std::u16string& outputFolder, std::vector<FolderResult>& results) {
  FolderResult row;
  row.folder = inputFolder;
  FolderStatus errorState = FolderStatus::Ok;

  if (target != nullptr) {
    target->SendToDialog(MSG_FOLDER_POSITION, static_cast<std::uintptr_t>(foldersStarted + 1), 0);
  }
  SendText(MSG_FOLDER_TEXT, inputFolder);

  // The whole listing is read before anything is written, so the output the
  // walk creates can never show up in a listing it is still working through.
  FolderListing listing;
  if (!ListFolder(inputFolder, listing)) {
    results.push_back(row);
    return true;
  }

  if (cancelRequested.load()) {
    row.status = FolderStatus::Cancelled;
    results.push_back(row);
    return false;
  }

  if (!CreateDirectoryPath(outputFolder)) {
    row.status = FolderStatus::FolderCreationFailed;
    results.push_back(row);
    return true;
  }

  const OptionFlags options = settings.options;
  const bool keepNames = (options & KeepBmsUnchanged) != 0;
  const bool preserveCharts = (options & PreserveCharts) != 0;
  // Only the chart-preserving mode reads the wider WAV layouts: it keeps
  // whatever it cannot convert, where the other modes report it.
  const WavToOggConverter soundConverter{.wideFormats = preserveCharts};
  const BmpToPngConverter imageConverter;
  const ScriptRewriter scriptRewriter = FromJobSettings(settings);
  const BmsonRewriter bmsonRewriter{scriptRewriter.rewriteSound, scriptRewriter.rewriteImage};
  if (preserveCharts && (options & CompressImages) != 0) exactImages.AddNamedBy(inputFolder, listing.files);
  const std::u16string fileCount = DecimalText(static_cast<std::int64_t>(listing.files.size()));

  std::int64_t position = 0;
  for (const std::u16string& name : listing.files) {
    ++position;
    SendText(MSG_FILE_TEXT, DecimalText(position) + u'/' + fileCount + u' ' + name);

    const std::u16string source = CombinePath(inputFolder, name);
    std::u16string destination = CombinePath(outputFolder, name);
    bool handled = false;
    std::int32_t* counter = nullptr;
    const Handler handler =
        ChooseHandler(options, name, preserveCharts && exactImages.Contains(CombinePath(inputFolder, name)));
    switch (handler) {
      case Handler::Sound:
        if (!keepNames) destination = ChangeExtension(destination, u".ogg");
        handled = soundConverter.Convert(source, destination);
        counter = &row.soundCount;
        break;
      case Handler::Image:
        if (!keepNames) destination = ChangeExtension(destination, u".png");
        handled = imageConverter.Convert(source, destination);
        counter = &row.imageCount;
        break;
      case Handler::Script:
        handled = scriptRewriter.Rewrite(source, destination);
        counter = &row.bmsCount;
        break;
      case Handler::Bmson:
        handled = bmsonRewriter.Rewrite(source, destination);
        counter = &row.bmsCount;
        break;
      case Handler::Chart:
        handled = CopyFileOverwrite(source, destination);
        counter = &row.bmsCount;
        break;
      case Handler::Copy:
        handled = CopyFileOverwrite(source, destination);
        counter = &row.copiedCount;
        break;
    }

    // What the chart-preserving mode cannot convert stays as it is: its
    // chart still names it under that name, so nothing is lost.
    if (!handled && preserveCharts && (handler == Handler::Sound || handler == Handler::Image)) {
      RemoveFile(ToNarrowPath(destination));
      destination = CombinePath(outputFolder, name);
      handled = CopyFileOverwrite(source, destination);
      counter = &row.copiedCount;
      if (handled) row.keptFiles.push_back(name);
    }

    if (handled) {
      ++*counter;
      ++totals.files;
      const long long readSize = FileSize(source);
      const long long writtenSize = FileSize(destination);
      if (readSize > 0) totals.bytesRead += readSize;
      if (writtenSize > 0) totals.bytesWritten += writtenSize;
    } else {
      // A failed file leaves whatever its handler wrote; the row names it.
      errorState = FolderStatus::HasErrors;
      row.AddErrorFile(name);
    }

    if (cancelRequested.load()) {
      row.status = FolderStatus::Cancelled;
      results.push_back(row);
      return false;
    }
  }

  row.status = errorState;
  results.push_back(row);
  WriteLogLine(log, FolderLogLine(row));
  if (onFolderLogged) onFolderLogged(row);

  if (cancelRequested.load()) return false;

  if ((options & IncludeSubfolders) != 0) {
    for (const std::u16string& name : listing.subfolders) {
      ++foldersStarted;
      if (!ProcessFolder(log, CombinePath(inputFolder, name), CombinePath(outputFolder, name), results)) {
        return false;
      }
    }
  }
  return true;
}

std::int32_t ConversionJob::CountFolders(const std::u16string& folder) const {
  if ((settings.options & IncludeSubfolders) == 0) return 1;
  FolderListing listing;
  if (!ListFolder(folder, listing)) return 0;
  std::int32_t sum = 0;
  for (const std::u16string& name : listing.subfolders) sum += CountFolders(CombinePath(folder, name));
  return sum + 1;
}

int WorkerMain(ConversionJob& job) {
  std::vector<FolderResult> results;
  TextFile log;

  if (job.target != nullptr) job.target->SendToDialog(MSG_PREPARE_PROGRESS, 0, 0);

  const LocalTime now = CurrentLocalTime();
  // A log that cannot be opened (read-only, locked, no write permission)
  // silently drops every line; the run itself is not affected.
  const bool logOpen = log.Open(kLogFileName, TextFileMode::Append);
  if (logOpen) {
    WriteLogLine(log, DateLineText(now));
    WriteLogLine(log, kLogHeaderLine);
  }

  job.ProcessFolder(log, job.settings.inputFolder, job.settings.outputFolder, results);
  // After the whole walk, so that a chart's references into its subfolders
  // meet those subfolders' output.
  if ((job.settings.options & CheckReferences) != 0 && !job.cancelRequested.load()) {
    CheckChartReferences(job.settings, results);
  }

  if (logOpen) {
    WriteLogLine(log, u"");
    log.Close();
  }

  job.results.swap(results);
  if (job.target != nullptr) job.target->PostToDialog(MSG_WORKER_DONE, 0, 0);
  return 0;
}
