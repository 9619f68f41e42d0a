#include "job/conversion_job.h"

#include <new>
#include <unordered_set>
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
    // Another run's unfinished output is nobody's input.
    if (entry.name == u"." || entry.name == u".." || IsTemporaryName(entry.name)) continue;
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

// The converters and rewriters of one folder's run.
struct Handlers {
  WavToOggConverter sound;
  BmpToPngConverter image;
  ScriptRewriter script;
  BmsonRewriter bmson;
};

// The name under which a folder that could not be listed is named among its
// own row's failed entries: its last component with a trailing separator,
// which marks it as the folder rather than a file in it.
std::u16string FolderEntryName(const std::u16string& folder) {
  std::size_t end = folder.size();
  while (end > 1 && folder[end - 1] == kPathSeparator) --end;
  const std::size_t start = folder.find_last_of(kPathSeparator, end - 1);
  std::u16string name = start == std::u16string::npos || end <= 1 ? folder.substr(0, end)
                                                                  : folder.substr(start + 1, end - start - 1);
  if (name.empty() || name.back() != kPathSeparator) name += kPathSeparator;
  return name;
}

// Runs one handler from source to destination. An allocation that fails
// inside a handler fails that file only; the run goes on.
bool RunHandler(Handler handler, const Handlers& handlers, const std::u16string& source,
                const std::u16string& destination) {
  try {
    switch (handler) {
      case Handler::Sound:
        return handlers.sound.Convert(source, destination);
      case Handler::Image:
        return handlers.image.Convert(source, destination);
      case Handler::Script:
        return handlers.script.Rewrite(source, destination);
      case Handler::Bmson:
        return handlers.bmson.Rewrite(source, destination);
      case Handler::Chart:
      case Handler::Copy:
        return CopyFileOverwrite(source, destination);
    }
  } catch (const std::bad_alloc&) {
  }
  return false;
}

}  // namespace

void ConversionJob::SendText(std::uint32_t message, std::u16string text) {
  if (target == nullptr) return;
  // The receiver owns the text from here on and frees it after handling.
  target->SendToDialog(message, 0, TextParam(std::move(text)));
}

void ConversionJob::CommitFolder(const std::vector<PendingFile>& pending,
                                 const std::vector<PendingSource>& sources, FolderResult& row,
                                 FolderStatus& errorState) {
  std::vector<bool> committed;
  CommitFiles(pending, committed);
  for (std::size_t i = 0; i < pending.size(); ++i) {
    if (committed[i]) {
      ++*sources[i].counter;
      if (sources[i].kept) row.keptFiles.push_back(sources[i].name);
      ++totals.files;
      const long long readSize = FileSize(sources[i].source);
      const long long writtenSize = FileSize(pending[i].destination);
      if (readSize > 0) totals.bytesRead += readSize;
      if (writtenSize > 0) totals.bytesWritten += writtenSize;
    } else {
      RemoveFile(pending[i].temporary);
      errorState = FolderStatus::HasErrors;
      row.AddErrorFile(sources[i].name);
    }
  }
}

void ConversionJob::PrepareProgress() { foldersTotal = CountFolders(settings.inputFolder); }

bool ConversionJob::ProcessFolder(RunLog& log, const std::u16string& inputFolder,
                                  const std::u16string& outputFolder, std::vector<FolderResult>& results) {
  FolderResult row;
  row.folder = inputFolder;
  FolderStatus errorState = FolderStatus::Ok;

  if (target != nullptr) {
    target->SendToDialog(MSG_FOLDER_POSITION, static_cast<std::uintptr_t>(foldersStarted + 1), 0);
  }
  SendText(MSG_FOLDER_TEXT, inputFolder);

  // The folder stays open while it is worked on, so that its files are
  // reached relative to it at any depth and path length.
  FolderScope inputScope(inputFolder);

  // The whole listing is read before anything is written, so the output the
  // walk creates can never show up in a listing it is still working through.
  FolderListing listing;
  if (!ListFolder(inputFolder, listing)) {
    // Its files would vanish without a word: the folder itself is the
    // failed entry, and the row is logged like any other.
    row.status = FolderStatus::HasErrors;
    row.AddErrorFile(FolderEntryName(inputFolder));
    results.push_back(row);
    log.WriteLine(FolderLogLine(row));
    return !cancelRequested.load();
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
  FolderScope outputScope(outputFolder);
  RemoveStaleTemporaries(outputFolder);

  const OptionFlags options = settings.options;
  const bool keepNames = (options & KeepBmsUnchanged) != 0;
  const bool preserveCharts = (options & PreserveCharts) != 0;
  Handlers handlers;
  // Only the chart-preserving mode reads the wider WAV layouts: it keeps
  // whatever it cannot convert, where the other modes report it.
  handlers.sound.wideFormats = preserveCharts;
  handlers.script = FromJobSettings(settings);
  handlers.bmson = BmsonRewriter{handlers.script.rewriteSound, handlers.script.rewriteImage};
  if (preserveCharts && (options & CompressImages) != 0) exactImages.AddNamedBy(inputFolder, listing.files);
  // The folder's own names, by the file system's comparison, for the
  // chart-preserving mode's test whether a new name is taken.
  std::unordered_set<std::u16string> inputNames;
  if (preserveCharts) {
    for (const std::u16string& name : listing.files) inputNames.insert(FileNameKey(name));
  }
  const std::u16string fileCount = DecimalText(static_cast<std::int64_t>(listing.files.size()));
  // The output names this run has written in this folder, by the file
  // system's comparison: the first file to write a name keeps it.
  std::unordered_set<std::u16string> written;
  // The folder's completed temporaries, renamed together at its end so that
  // one flush of the disk serves them all.
  std::vector<PendingFile> pending;
  std::vector<PendingSource> pendingFiles;

  std::int64_t position = 0;
  for (const std::u16string& name : listing.files) {
    ++position;
    SendText(MSG_FILE_TEXT, DecimalText(position) + u'/' + fileCount + u' ' + name);

    const Handler handler =
        ChooseHandler(options, name, preserveCharts && exactImages.Contains(CombinePath(inputFolder, name)));
    std::u16string outputName = name;
    std::int32_t* counter = &row.copiedCount;
    switch (handler) {
      case Handler::Sound:
        if (!keepNames) outputName = ChangeExtension(name, u".ogg");
        counter = &row.soundCount;
        break;
      case Handler::Image:
        if (!keepNames) outputName = ChangeExtension(name, u".png");
        counter = &row.imageCount;
        break;
      case Handler::Script:
      case Handler::Bmson:
      case Handler::Chart:
        counter = &row.bmsCount;
        break;
      case Handler::Copy:
        break;
    }

    const std::u16string source = CombinePath(inputFolder, name);
    bool handled = false;
    const bool convertible = preserveCharts && (handler == Handler::Sound || handler == Handler::Image);
    // The chart-preserving mode keeps a file as it is when another file of
    // the folder already holds its new name: a chart may name either, and
    // players take the exact name first.
    bool keepAsIs = convertible && inputNames.count(FileNameKey(outputName)) != 0;
    // A later file that maps to a name already written fails rather than
    // overwrite it (the chart-preserving mode keeps it as it is instead).
    if (!keepAsIs && written.count(FileNameKey(outputName)) != 0) {
      keepAsIs = convertible;
    } else if (!keepAsIs) {
      // The handler writes a temporary beside the final name; only complete
      // files are flushed and renamed to it, and a failure leaves an earlier
      // file of that name as it was.
      const std::u16string temporary = CombinePath(outputFolder, NewTemporaryName());
      handled = RunHandler(handler, handlers, source, temporary);
      if (handled) {
        written.insert(FileNameKey(outputName));
        pending.push_back(PendingFile{temporary, CombinePath(outputFolder, outputName)});
        pendingFiles.push_back(PendingSource{name, source, counter});
      } else {
        RemoveFile(temporary);
        // What the chart-preserving mode cannot convert stays as it is too:
        // its chart still names it under that name, so nothing is lost.
        keepAsIs = convertible;
      }
    }
    if (keepAsIs && written.count(FileNameKey(name)) == 0) {
      const std::u16string temporary = CombinePath(outputFolder, NewTemporaryName());
      handled = RunHandler(Handler::Copy, handlers, source, temporary);
      if (handled) {
        written.insert(FileNameKey(name));
        pending.push_back(PendingFile{temporary, CombinePath(outputFolder, name)});
        pendingFiles.push_back(PendingSource{name, source, &row.copiedCount, true});
      } else {
        RemoveFile(temporary);
      }
    }
    if (!handled) {
      errorState = FolderStatus::HasErrors;
      row.AddErrorFile(name);
    }

    if (cancelRequested.load()) {
      // What was handled is kept and counted.
      CommitFolder(pending, pendingFiles, row, errorState);
      row.status = FolderStatus::Cancelled;
      results.push_back(row);
      return false;
    }
  }
  CommitFolder(pending, pendingFiles, row, errorState);

  row.status = errorState;
  results.push_back(row);
  log.WriteLine(FolderLogLine(row));

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
  FolderScope scope(folder);
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

  TextFileLog runLog(log);
  job.ProcessFolder(runLog, job.settings.inputFolder, job.settings.outputFolder, results);
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
