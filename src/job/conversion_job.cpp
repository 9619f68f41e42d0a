#include "job/conversion_job.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_set>
#include <utility>

#include "audio/wav_to_flac_converter.h"
#include "audio/wav_to_ogg_converter.h"
#include "bms/bmson.h"
#include "bms/script_rewriter.h"
#include "bms/text_file.h"
#include "image/bmp_to_png_converter.h"
#include "job/conversion_pool.h"
#include "job/local_time.h"
#include "job/messages.h"
#include "job/options_record.h"
#include "job/reference_check.h"
#include "job/run_log.h"
#include "job/settlement.h"
#include "util/file_system.h"
#include "util/path.h"

namespace {

// The converters and rewriters of one run, shared read-only by its threads.
struct Handlers {
  WavToOggConverter ogg;
  WavToFlacConverter flac;
  BmpToPngConverter png;
  ScriptRewriter script;
  BmsonRewriter bmson;
};

// A bmson chart above this size is rewritten by one thread at a time.
constexpr long long kLargeChartBytes = 16LL << 20;

}  // namespace

// The run's walk: lists folders in pre-order and routes their files
// (serial), hands them to the pool, and settles and emits each folder's row,
// log line and renames in walk order.
class ConversionJob::Walk {
 public:
  Walk(ConversionJob& job, const RunPlan& plan, RunLog& log, std::vector<FolderResult>& results)
      : job_(job), plan_(plan), log_(log), results_(results), inputFiles_(plan, job.settings.inputFolder) {
    handlers_.ogg.wideFormats = plan.wideSound;
    handlers_.script = FromJobSettings(job.settings);
    handlers_.bmson = BmsonRewriter{handlers_.script.renaming};
    if (plan.charts == ChartTreatment::Preserve && plan.image != nullptr) {
      job.exactImages.ScanTree(plan, job.settings.inputFolder, inputFiles_);
    }
  }

  bool Run(const std::u16string& inputFolder, const std::u16string& outputFolder) {
    ConversionPool::Callbacks callbacks;
    callbacks.run = [this](FileWork& file) { return RunFile(file); };
    callbacks.fileStarted = [this](const FolderWork& folder, const FileWork& file, std::uint32_t started) {
      SendFileText(folder, file, started);
    };
    callbacks.emit = [this](FolderWork& folder, std::int64_t lastStarted) { Emit(folder, lastStarted); };
    ConversionPool pool(plan_.threads, job_.cancelRequested, std::move(callbacks));
    pool_ = &pool;
    job_.AttachPool(&pool);
    std::vector<std::u16string> place;
    const bool walked = WalkFolder(inputFolder, outputFolder, place);
    pool.Finish();
    job_.AttachPool(nullptr);
    pool_ = nullptr;
    return walked && !stopped_;
  }

 private:
  bool Cancelled() const { return job_.cancelRequested.load(); }

  bool WalkFolder(const std::u16string& inputFolder, const std::u16string& outputFolder,
                  std::vector<std::u16string>& place) {
    auto folder = std::make_unique<FolderWork>();
    folder->sequence = nextSequence_++;
    folder->position = job_.foldersStarted + 1;
    folder->input = inputFolder;
    folder->output = outputFolder;
    folder->place = place;
    // Run serially, the folder shows as it is listed; otherwise once its
    // first file starts.
    if (pool_->Serial()) Announce(*folder);

    // The folder stays open while it is listed, so that its files are
    // reached relative to it at any depth and path length.
    FolderScope inputScope(inputFolder);
    // The whole listing is read before anything is written, so the output
    // the walk creates can never show up in a listing it is still working
    // through.
    FolderListing listing;
    if (!ListFolder(inputFolder, listing)) {
      folder->kind = FolderKind::ListFailed;
      pool_->Submit(std::move(folder));
      return !Cancelled();
    }
    if (Cancelled()) {
      folder->kind = FolderKind::CancelledBeforeFiles;
      pool_->Submit(std::move(folder));
      return false;
    }
    // The output root may be a link the user chose (the start checks have
    // looked at where it leads); below it the walk never follows one.
    const bool root = place.empty() && DirectoryExists(outputFolder);
    if (!root && !CreateDirectoryPath(outputFolder)) {
      folder->kind = FolderKind::CreationFailed;
      pool_->Submit(std::move(folder));
      return true;
    }
    {
      FolderScope outputScope(outputFolder);
      RemoveStaleTemporaries(outputFolder);
      PlanFolder(*folder, listing.files);
      pool_->Submit(std::move(folder));
    }
    if (Cancelled()) return false;
    if (!plan_.subfolders) return true;
    for (const std::u16string& name : listing.subfolders) {
      ++job_.foldersStarted;
      place.push_back(name);
      const bool walked = WalkFolder(CombinePath(inputFolder, name), CombinePath(outputFolder, name), place);
      place.pop_back();
      if (!walked) return false;
    }
    return true;
  }

  void PlanFolder(FolderWork& folder, const std::vector<std::u16string>& names) {
    if (plan_.trustOutputs) {
      std::u16string warning;
      folder.record = UpdateRecord::Load(folder.output, warning);
      if (!warning.empty()) job_.warnings.push_back(std::move(warning));
    }
    // The folder's own names, by the file system's comparison, tell whether
    // a new name is already another file's.
    std::unordered_set<std::u16string> inputNames;
    if (plan_.keepUnconverted) {
      for (const std::u16string& name : names) inputNames.insert(FileNameKey(name));
    }
    folder.fileCount = DecimalText(static_cast<std::int64_t>(names.size()));
    folder.files.reserve(names.size());
    for (const std::u16string& name : names) PlanFile(folder, name, inputNames);
  }

  // Routes one listed file and decides what becomes of it: skipped as up to
  // date, or run to a temporary of its own.
  void PlanFile(FolderWork& folder, const std::u16string& name,
                const std::unordered_set<std::u16string>& inputNames) {
    FileWork file;
    file.name = name;
    file.folder = &folder;
    file.position = static_cast<std::int64_t>(folder.files.size()) + 1;
    file.source = CombinePath(folder.input, name);
    file.route = RouteFile(plan_, name, job_.exactImages.Contains(file.source));
    const bool converts = file.route.handler == Handler::Sound || file.route.handler == Handler::Image;
    if (converts && plan_.keepUnconverted) {
      file.fallback = plan_.charts == ChartTreatment::Preserve ? Fallback::KeepQuietly : Fallback::KeepFailed;
      // Another file of the folder holds the new name: a chart may name
      // either, and players take the exact name first.
      if (inputNames.count(FileNameKey(file.route.outputName)) != 0) {
        file.keptAsIs = true;
        file.route = FileRoute{Handler::Copy, name, Counter::Copied, nullptr};
      }
    }
    file.key = FileNameKey(file.route.outputName);
    file.destination = CombinePath(folder.output, file.route.outputName);
    if (plan_.update) file.facts = ReadFileFacts(file.source);
    // A file kept after a failure is tried again, and reported again.
    if (plan_.trustOutputs && !(file.keptAsIs && file.fallback == Fallback::KeepFailed)) {
      file.skipped = folder.record.CanSkip(file.route.outputName, name, file.facts, file.destination);
    }
    if (!file.skipped) {
      if (!pool_->Serial()) file.size = plan_.update ? file.facts.size : FileSize(file.source);
      ++folder.waiting;
    }
    folder.files.push_back(std::move(file));
  }

  // The work of one file on whichever thread runs it: runs its handler into
  // its temporary and tells whether the temporary is complete. A failed
  // handler's temporary is removed. An allocation that fails inside a
  // handler fails that file only; the run goes on.
  bool RunFile(FileWork& file) {
    // The temporary is reserved as the file starts, so that a cancelled
    // file leaves none behind.
    std::u16string name;
    if (!CreateTemporaryFile(file.folder->output, name)) return false;
    file.temporary = CombinePath(file.folder->output, name);
    bool handled = false;
    try {
      handled = RunHandler(file);
    } catch (const std::bad_alloc&) {
    }
    if (!handled) RemoveFile(file.temporary);
    return handled;
  }

  bool RunHandler(FileWork& file) {
    switch (file.route.handler) {
      case Handler::Sound:
        return Convert(*file.route.conversion, file);
      case Handler::Image:
        return Convert(*file.route.conversion, file);
      case Handler::Script:
        return WithReferenceChecks(handlers_.script, file).Rewrite(file.source, file.temporary);
      case Handler::Bmson: {
        // A bmson chart is held in memory whole while it is rewritten; the
        // large ones take turns, so their memory does not grow with the
        // number of threads.
        std::unique_lock<std::mutex> turn(largeChartTurn_, std::defer_lock);
        if (file.size > kLargeChartBytes) turn.lock();
        return WithReferenceChecks(handlers_.bmson, file).Rewrite(file.source, file.temporary);
      }
      case Handler::Chart:
      case Handler::Copy:
        break;
    }
    return CopyFileOverwrite(file.source, file.temporary);
  }

  bool Convert(const Conversion& conversion, FileWork& file) const {
    switch (conversion.converter) {
      case ConverterId::OggVorbis:
        return handlers_.ogg.Convert(file.source, file.temporary, &file.reason);
      case ConverterId::Flac:
        return handlers_.flac.Convert(file.source, file.temporary, &file.reason);
      case ConverterId::Png:
        return handlers_.png.Convert(file.source, file.temporary, &file.reason);
    }
    return false;
  }

  // A chart's rewriter that leaves the references to files the run keeps
  // under their own names as they are.
  template <typename Rewriter>
  Rewriter WithReferenceChecks(const Rewriter& shared, const FileWork& file) {
    Rewriter rewriter = shared;
    if (plan_.keepUnconverted && rewriter.renaming.Any()) {
      const std::vector<std::u16string>* place = &file.folder->place;
      rewriter.renaming.keepsName = [this, place](const std::u16string& value, const Conversion& conversion) {
        return inputFiles_.KeepsName(*place, value, conversion);
      };
    }
    return rewriter;
  }

  // The serial emit stage for one folder: settles it, publishes its outputs,
  // and appends its row and log line.
  void Emit(FolderWork& folder, std::int64_t lastStarted) {
    if (stopped_) {
      // A folder after the cancelled one: its complete temporaries go.
      for (const FileWork& file : folder.files) {
        if (file.handled) RemoveFile(file.temporary);
      }
      return;
    }
    Announce(folder);
    Settlement settlement = SettleFolder(folder, Cancelled(), lastStarted);
    ApplySettlement(settlement, folder.output, job_.totals);
    if (plan_.update && folder.kind == FolderKind::Files) RecordOutputs(folder, settlement);
    if (settlement.stopsRun) stopped_ = true;
    results_.push_back(settlement.row);
    if (settlement.logged) log_.WriteLine(FolderLogLine(settlement.row));
  }

  // Notes what the folder's outputs were made from, for the next update run:
  // the ones written now and the ones left alone as up to date.
  void RecordOutputs(const FolderWork& folder, const Settlement& settlement) {
    UpdateRecord record;
    for (const FileWork& file : folder.files) {
      if (file.skipped) {
        record.Record(file.route.outputName, file.name, file.facts, FileSize(file.destination));
      }
    }
    // Nothing new, and nothing gone: the record on disk says it all already.
    if (settlement.landed.empty() && record.size() == folder.record.size()) return;
    for (const Rename* rename : settlement.landed) {
      const FileWork& file = *rename->file;
      const std::u16string outputName = rename->copyFirst ? file.name : file.route.outputName;
      record.Record(outputName, file.name, file.facts, rename->writtenSize);
    }
    record.Save(folder.output);
  }

  // Names a file as it starts ("i/n name" within its folder), after its
  // folder if that is new. Only the walk's thread sends.
  void SendFileText(const FolderWork& folder, const FileWork& file, std::uint32_t started) {
    Announce(folder);
    if (job_.target == nullptr) return;
    const auto total = static_cast<std::uint32_t>(folder.files.size());
    job_.target->SendToDialog(
        MSG_FILE_TEXT, FileProgressParam(started, total),
        TextParam(DecimalText(file.position) + u'/' + folder.fileCount + u' ' + file.name));
  }

  // Shows a folder's position and name the first time one of its files
  // starts, or its row is emitted; folders start in walk order, so the
  // position only grows.
  void Announce(const FolderWork& folder) {
    if (folder.sequence <= announced_ || job_.target == nullptr) {
      announced_ = std::max(announced_, folder.sequence);
      return;
    }
    announced_ = folder.sequence;
    job_.target->SendToDialog(MSG_FOLDER_POSITION, static_cast<std::uintptr_t>(folder.position), 0);
    job_.target->SendToDialog(MSG_FOLDER_TEXT, 0, TextParam(folder.input));
  }

  ConversionJob& job_;
  const RunPlan& plan_;
  RunLog& log_;
  std::vector<FolderResult>& results_;
  InputFiles inputFiles_;
  Handlers handlers_;  // set up before the threads start; only read after
  std::mutex largeChartTurn_;
  ConversionPool* pool_ = nullptr;
  std::int64_t nextSequence_ = 0;  // walk only
  std::int64_t announced_ = -1;    // walk only: the latest folder shown
  bool stopped_ = false;           // walk only: a cancelled row was emitted
};

void ConversionJob::RequestCancel() {
  cancelRequested = true;
  std::lock_guard<std::mutex> lock(poolMutex_);
  if (pool_ != nullptr) pool_->Wake();
}

void ConversionJob::AttachPool(ConversionPool* pool) {
  std::lock_guard<std::mutex> lock(poolMutex_);
  pool_ = pool;
}

void ConversionJob::PrepareProgress() { foldersTotal = CountFolders(settings.inputFolder); }

bool ConversionJob::ProcessFolder(RunLog& log, const std::u16string& inputFolder,
                                  const std::u16string& outputFolder, std::vector<FolderResult>& results) {
  // Outputs made under other options are not up to date whatever their
  // times; the record of those options goes before anything is written, so
  // that an interrupted run cannot leave outputs of mixed options under it.
  std::u16string warning;
  const OptionsRecordState record = CompareOptionsRecord(outputFolder, settings.options, &warning);
  if (update && !warning.empty()) warnings.push_back(std::move(warning));
  if (record == OptionsRecordState::Different) RemoveOptionsRecord(outputFolder);
  const RunPlan plan = MakeRunPlan(settings.options, jobs, update, record == OptionsRecordState::Same);
  Walk walk(*this, plan, log, results);
  const bool completed = walk.Run(inputFolder, outputFolder);
  if (update && completed && record != OptionsRecordState::Same) {
    WriteOptionsRecord(outputFolder, settings.options);
  }
  return completed;
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
    CheckChartReferences(results);
    for (const FolderResult& row : results) job.totals.unreferencedBytes += row.unreferencedBytes;
  }

  if (logOpen) {
    WriteLogLine(log, u"");
    log.Close();
  }

  job.results.swap(results);
  if (job.target != nullptr) job.target->PostToDialog(MSG_WORKER_DONE, 0, 0);
  return 0;
}
