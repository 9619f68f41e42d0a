#include "job/conversion_job.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <queue>
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
#include "job/options_record.h"
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
    // Another run's unfinished output is nobody's input, and an update
    // run's record of its options is not part of the tree.
    if (entry.name == u"." || entry.name == u".." || entry.name == kOptionsRecordName ||
        IsTemporaryName(entry.name)) {
      continue;
    }
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

// The converters and rewriters of one run, shared read-only by its threads.
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

enum class Counter { Bms, Sound, Image, Copied };

// Where one file goes: the handler that writes it, the name it is written
// under and the row counter it advances once written.
struct FileRoute {
  Handler handler = Handler::Copy;
  std::u16string outputName;
  Counter counter = Counter::Copied;
};

FileRoute RouteFile(OptionFlags options, const std::u16string& name, bool namedExactly) {
  FileRoute route;
  route.handler = ChooseHandler(options, name, namedExactly);
  route.outputName = name;
  const bool keepNames = (options & KeepBmsUnchanged) != 0;
  switch (route.handler) {
    case Handler::Sound:
      if (!keepNames) route.outputName = ChangeExtension(name, u".ogg");
      route.counter = Counter::Sound;
      break;
    case Handler::Image:
      if (!keepNames) route.outputName = ChangeExtension(name, u".png");
      route.counter = Counter::Image;
      break;
    case Handler::Script:
    case Handler::Bmson:
    case Handler::Chart:
      route.counter = Counter::Bms;
      break;
    case Handler::Copy:
      break;
  }
  return route;
}

std::int32_t& CounterOf(FolderResult& row, Counter counter) {
  switch (counter) {
    case Counter::Bms:
      return row.bmsCount;
    case Counter::Sound:
      return row.soundCount;
    case Counter::Image:
      return row.imageCount;
    case Counter::Copied:
      break;
  }
  return row.copiedCount;
}

// One file of a listed folder, from its routing to its outcome.
struct FileWork {
  std::u16string name;
  std::int64_t position = 0;  // 1-based, in the folder's listing
  FileRoute route;
  std::u16string key;  // the output name as the file system compares it
  std::u16string source;
  std::u16string destination;
  std::u16string temporary;
  long long size = 0;    // orders the work: longer files start first
  bool skipped = false;  // its output is up to date (update run)
  // The chart-preserving mode keeps a sound or image it cannot convert, or
  // whose new name is taken, as it is: `convertible` marks such a file,
  // `keptAsIs` one that is copied under its own name from the start.
  bool convertible = false;
  bool keptAsIs = false;
  bool started = false;
  bool handled = false;  // its temporary is complete
};

enum class FolderKind { Files, ListFailed, CreationFailed, CancelledBeforeFiles };

// One listed folder between the walk and the emit of its row.
struct FolderWork {
  std::int64_t sequence = 0;  // walk order
  std::int32_t position = 0;  // the progress position it shows
  std::u16string input;
  std::u16string output;
  FolderKind kind = FolderKind::Files;
  std::u16string fileCount;
  std::vector<FileWork> files;  // listing order
  std::size_t waiting = 0;      // files not started yet
  std::size_t running = 0;
};

// A conversion thread keeps the input and output folder of its last file
// open, so that its files there are reached relative to them.
class ThreadScopes {
 public:
  void Enter(const std::u16string& input, const std::u16string& output) {
    if (input_ && input == inputFolder_ && output == outputFolder_) return;
    // Scopes close in the reverse order of their opening.
    output_.reset();
    input_.reset();
    inputFolder_ = input;
    outputFolder_ = output;
    input_.emplace(input);
    output_.emplace(output);
  }

 private:
  std::u16string inputFolder_;
  std::u16string outputFolder_;
  std::optional<FolderScope> input_;
  std::optional<FolderScope> output_;
};

// How many listed files may wait for a thread, per thread, before the walk
// pauses; and how many folders may wait for their rows. Together they bound
// what is held besides the files being converted, while keeping the next
// folder's files ready when one folder's last long file runs.
constexpr std::size_t kWaitingFilesPerThread = 4;
constexpr std::size_t kMaxFoldersInFlight = 64;

}  // namespace

// The run as a pipeline: the walk lists folders in order and routes their
// files (serial), conversion threads run the files (parallel, longer files
// first, folders in walk order), and the walk's thread emits each folder's
// row, log line and renames in walk order once its files are done (serial).
// With one thread the walk runs each file itself as it lists it, which is
// the whole serial run in listing order.
class ConversionJob::Pipeline {
 public:
  // A completed temporary waiting for its folder's rename, and whether it
  // is a file kept as it is.
  struct PendingSource {
    const FileWork* file;
    bool kept;
  };

  Pipeline(ConversionJob& job, RunLog& log, std::vector<FolderResult>& results, bool update)
      : job_(job),
        log_(log),
        results_(results),
        update_(update),
        options_(job.settings.options),
        preserveCharts_((job.settings.options & PreserveCharts) != 0) {
    // Only the chart-preserving mode reads the wider WAV layouts: it keeps
    // whatever it cannot convert, where the other modes report it.
    handlers_.sound.wideFormats = preserveCharts_;
    handlers_.script = FromJobSettings(job.settings);
    handlers_.bmson = BmsonRewriter{handlers_.script.rewriteSound, handlers_.script.rewriteImage};
  }

  ~Pipeline() { StopThreads(); }

  bool Run(const std::u16string& inputFolder, const std::u16string& outputFolder) {
    StartThreads(job_.jobs > 0 ? job_.jobs : HardwareThreadCount());
    const bool walked = Walk(inputFolder, outputFolder);
    Drain();
    StopThreads();
    return walked && !stopped_;
  }

 private:
  struct QueuedFile {
    FolderWork* folder;
    FileWork* file;
  };
  struct StartsLater {
    bool operator()(const QueuedFile& a, const QueuedFile& b) const {
      if (a.folder->sequence != b.folder->sequence) return a.folder->sequence > b.folder->sequence;
      if (a.file->size != b.file->size) return a.file->size < b.file->size;
      return a.file->position > b.file->position;
    }
  };

  bool Cancelled() const { return job_.cancelRequested.load(); }

  void StartThreads(int count) {
    if (count <= 1) return;
    for (int i = 0; i < count; ++i) {
      auto thread = std::make_unique<WorkerThread>();
      // A thread the system refuses leaves the others to do the work; with
      // none, the walk does it.
      if (!thread->Start([this] { ThreadMain(); })) break;
      threads_.push_back(std::move(thread));
    }
  }

  void StopThreads() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    workAvailable_.notify_all();
    for (auto& thread : threads_) thread->Join();
    threads_.clear();
  }

  // The serial listing stage, in pre-order.
  bool Walk(const std::u16string& inputFolder, const std::u16string& outputFolder) {
    auto folder = std::make_unique<FolderWork>();
    folder->sequence = nextSequence_++;
    folder->position = job_.foldersStarted + 1;
    folder->input = inputFolder;
    folder->output = outputFolder;
    // Run serially, the folder shows as it is listed; otherwise once its
    // first file starts.
    if (threads_.empty()) Announce(*folder);

    // The folder stays open while it is listed, so that its files are
    // reached relative to it at any depth and path length.
    FolderScope inputScope(inputFolder);

    // The whole listing is read before anything is written, so the output
    // the walk creates can never show up in a listing it is still working
    // through.
    FolderListing listing;
    if (!ListFolder(inputFolder, listing)) {
      folder->kind = FolderKind::ListFailed;
      Submit(std::move(folder));
      return !Cancelled();
    }
    if (Cancelled()) {
      folder->kind = FolderKind::CancelledBeforeFiles;
      Submit(std::move(folder));
      return false;
    }
    if (!CreateDirectoryPath(outputFolder)) {
      folder->kind = FolderKind::CreationFailed;
      Submit(std::move(folder));
      return true;
    }
    {
      FolderScope outputScope(outputFolder);
      RemoveStaleTemporaries(outputFolder);
      if (preserveCharts_ && (options_ & CompressImages) != 0)
        job_.exactImages.AddNamedBy(inputFolder, listing.files);
      inputNames_.clear();
      if (preserveCharts_) {
        for (const std::u16string& name : listing.files) inputNames_.insert(FileNameKey(name));
      }
      folder->fileCount = DecimalText(static_cast<std::int64_t>(listing.files.size()));
      folder->files.reserve(listing.files.size());
      for (const std::u16string& name : listing.files) PlanFile(*folder, name);
      Submit(std::move(folder));
    }
    if (Cancelled()) return false;

    if ((options_ & IncludeSubfolders) != 0) {
      for (const std::u16string& name : listing.subfolders) {
        ++job_.foldersStarted;
        if (!Walk(CombinePath(inputFolder, name), CombinePath(outputFolder, name))) return false;
      }
    }
    return true;
  }

  // Routes one listed file and decides, in the serial stage, what becomes
  // of it: skipped as up to date, or run to a temporary of its own.
  void PlanFile(FolderWork& folder, const std::u16string& name) {
    FileWork file;
    file.name = name;
    file.position = static_cast<std::int64_t>(folder.files.size()) + 1;
    file.source = CombinePath(folder.input, name);
    file.route = RouteFile(options_, name, preserveCharts_ && job_.exactImages.Contains(file.source));
    file.convertible =
        preserveCharts_ && (file.route.handler == Handler::Sound || file.route.handler == Handler::Image);
    // Another file of the folder holds the new name: a chart may name
    // either, and players take the exact name first.
    if (file.convertible && inputNames_.count(FileNameKey(file.route.outputName)) != 0) {
      file.keptAsIs = true;
      file.route = FileRoute{Handler::Copy, name, Counter::Copied};
    }
    file.key = FileNameKey(file.route.outputName);
    file.destination = CombinePath(folder.output, file.route.outputName);
    if (update_) {
      const long long sourceTime = FileModifiedTime(file.source);
      file.skipped = sourceTime >= 0 && FileModifiedTime(file.destination) >= sourceTime;
    }
    if (!file.skipped) {
      file.temporary = CombinePath(folder.output, NewTemporaryName());
      if (!threads_.empty()) file.size = FileSize(file.source);
      ++folder.waiting;
    }
    folder.files.push_back(std::move(file));
  }

  // Hands a listed folder on: to the conversion threads, or run here.
  void Submit(std::unique_ptr<FolderWork> folder) {
    if (threads_.empty()) {
      RunHere(*folder);
      window_.push_back(std::move(folder));
      std::unique_lock<std::mutex> lock(mutex_);
      EmitReady(lock);
      return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    for (FileWork& file : folder->files) {
      if (!file.skipped) queue_.push(QueuedFile{folder.get(), &file});
    }
    window_.push_back(std::move(folder));
    workAvailable_.notify_all();
    // The walk lists on only while little is waiting.
    for (;;) {
      EmitReady(lock);
      if (Cancelled()) return;
      if (queue_.size() < kWaitingFilesPerThread * threads_.size() && window_.size() < kMaxFoldersInFlight) {
        return;
      }
      changed_.wait(lock);
    }
  }

  // The serial run of one folder's files, in listing order. After Cancel
  // no further file starts.
  void RunHere(FolderWork& folder) {
    std::unordered_set<std::u16string> written;
    for (FileWork& file : folder.files) {
      if (file.skipped) continue;
      if (Cancelled()) break;
      --folder.waiting;
      file.started = true;
      lastStarted_ = folder.sequence;
      // A later file that maps to a name already written fails rather than
      // overwrite it; it is not even run.
      SendFileText(folder, file);
      if (written.count(file.key) != 0) continue;
      file.handled = RunFile(file);
      if (file.handled) written.insert(file.key);
    }
  }

  // The work of one file on whichever thread runs it: runs its handler into
  // its temporary and tells whether the temporary is complete. A failed
  // handler's temporary is removed.
  bool RunFile(const FileWork& file) {
    const bool handled = RunHandler(file.route.handler, handlers_, file.source, file.temporary);
    if (!handled) RemoveFile(file.temporary);
    return handled;
  }

  // Names a file as it starts ("i/n name" within its folder), after its
  // folder if that is new. Only the walk's thread sends.
  void SendFileText(const FolderWork& folder, const FileWork& file) {
    Announce(folder);
    SendText(MSG_FILE_TEXT, DecimalText(file.position) + u'/' + folder.fileCount + u' ' + file.name);
  }

  // Sends the texts of the files the conversion threads have started, in
  // the order they started. Called by the walk's thread with the lock held;
  // released while sending, so that a slow receiver never holds up a
  // conversion thread.
  void SendStarted(std::unique_lock<std::mutex>& lock) {
    while (!started_.empty()) {
      std::deque<QueuedFile> batch;
      batch.swap(started_);
      lock.unlock();
      for (const QueuedFile& item : batch) SendFileText(*item.folder, *item.file);
      lock.lock();
    }
  }

  void ThreadMain() {
    ThreadScopes scopes;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      workAvailable_.wait(lock, [this] { return stopping_ || (!queue_.empty() && !Cancelled()); });
      if (stopping_) return;
      const QueuedFile next = queue_.top();
      queue_.pop();
      --next.folder->waiting;
      ++next.folder->running;
      next.file->started = true;
      if (next.folder->sequence > lastStarted_) lastStarted_ = next.folder->sequence;
      started_.push_back(next);
      changed_.notify_all();
      lock.unlock();
      scopes.Enter(next.folder->input, next.folder->output);
      const bool handled = RunFile(*next.file);
      lock.lock();
      next.file->handled = handled;
      --next.folder->running;
      changed_.notify_all();
    }
  }

  // A folder's row can be written once none of its files runs and none is
  // left to start (or none will start, after Cancel).
  bool Ready(const FolderWork& folder) const {
    return folder.running == 0 && (folder.waiting == 0 || Cancelled());
  }

  // Emits the folders at the front of the window that are ready, in walk
  // order. Called with the lock held; released while a folder is emitted.
  void EmitReady(std::unique_lock<std::mutex>& lock) {
    for (;;) {
      // A started file's text goes out before its folder's row, while the
      // folder is still held.
      SendStarted(lock);
      if (window_.empty() || !Ready(*window_.front())) return;
      std::unique_ptr<FolderWork> folder = std::move(window_.front());
      window_.pop_front();
      // Files left waiting after Cancel never start: the queue holds only
      // this folder's and later ones', which are not emitted.
      if (folder->waiting > 0) queue_ = {};
      const std::int64_t lastStarted = lastStarted_;
      lock.unlock();
      if (stopped_) {
        Discard(*folder);
      } else {
        Emit(*folder, lastStarted);
      }
      lock.lock();
    }
  }

  // Waits for the rest of the window once the walk has ended.
  void Drain() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      EmitReady(lock);
      if (window_.empty()) return;
      // Cancel arrives without a notification; looking again now and then
      // sees it even when no file is running.
      changed_.wait_for(lock, std::chrono::milliseconds(100));
    }
  }

  // The serial emit stage for one folder: its row, its log line and the
  // renames of its completed files, counted in listing order.
  void Emit(FolderWork& folder, std::int64_t lastStarted) {
    Announce(folder);
    FolderResult row;
    row.folder = folder.input;
    switch (folder.kind) {
      case FolderKind::ListFailed:
        // Its files would vanish without a word: the folder itself is the
        // failed entry, and the row is logged like any other.
        row.status = FolderStatus::HasErrors;
        row.AddErrorFile(FolderEntryName(folder.input));
        Append(row, /*logged=*/true);
        return;
      case FolderKind::CancelledBeforeFiles:
        row.status = FolderStatus::Cancelled;
        Append(row, /*logged=*/false);
        stopped_ = true;
        return;
      case FolderKind::CreationFailed:
        row.status = FolderStatus::FolderCreationFailed;
        Append(row, /*logged=*/false);
        return;
      case FolderKind::Files:
        break;
    }

    FolderStatus errorState = FolderStatus::Ok;
    // The output names written in this folder, by the file system's
    // comparison: the first file in listing order to write a name keeps it.
    std::unordered_set<std::u16string> written;
    // The folder's completed temporaries, renamed together so that one
    // flush of the disk serves them all.
    std::vector<PendingFile> pending;
    std::vector<PendingSource> pendingFiles;
    for (const FileWork& file : folder.files) {
      if (file.skipped) {
        if (written.insert(file.key).second) {
          ++row.skippedCount;
          ++job_.totals.skipped;
          continue;
        }
        errorState = FolderStatus::HasErrors;
        row.AddErrorFile(file.name);
        continue;
      }
      if (!file.started) continue;  // cancelled before it started
      // Whether the file's own temporary becomes its output.
      const bool ownOutput = file.handled && written.insert(file.key).second;
      bool handled = ownOutput;
      if (ownOutput) {
        pending.push_back(PendingFile{file.temporary, file.destination});
        pendingFiles.push_back(PendingSource{&file, file.keptAsIs});
      } else {
        if (file.handled) RemoveFile(file.temporary);
        // A later file that maps to a name already written fails rather
        // than overwrite it; the chart-preserving mode keeps it, and what it
        // cannot convert, as it is (its chart still names it so).
        if (file.convertible && !file.keptAsIs && written.count(FileNameKey(file.name)) == 0) {
          handled = KeepAsIs(folder, file, pending, pendingFiles);
          if (handled) written.insert(FileNameKey(file.name));
        }
      }
      if (!handled) {
        errorState = FolderStatus::HasErrors;
        row.AddErrorFile(file.name);
      }
    }
    Commit(pending, pendingFiles, row, errorState);

    // The cancelled folder is the one with files that never started, or
    // the one whose file was the last to start when Cancel came; what was
    // handled is kept and counted either way.
    const bool cancelled = Cancelled();
    if (folder.waiting > 0 || (cancelled && lastStarted == folder.sequence)) {
      row.status = FolderStatus::Cancelled;
      Append(row, /*logged=*/false);
      stopped_ = true;
      return;
    }
    row.status = errorState;
    Append(row, /*logged=*/true);
    // Nothing follows a cancelled run's last folder with a started file.
    if (cancelled && lastStarted <= folder.sequence) stopped_ = true;
  }

  // Copies a file as it is under its own name, on the emit's thread (the
  // rare fallback of the chart-preserving mode). True when its temporary is
  // complete; it is then queued for the rename.
  bool KeepAsIs(const FolderWork& folder, const FileWork& file, std::vector<PendingFile>& pending,
                std::vector<PendingSource>& pendingFiles) {
    const std::u16string temporary = CombinePath(folder.output, NewTemporaryName());
    if (!RunHandler(Handler::Copy, handlers_, file.source, temporary)) {
      RemoveFile(temporary);
      return false;
    }
    pending.push_back(PendingFile{temporary, CombinePath(folder.output, file.name)});
    pendingFiles.push_back(PendingSource{&file, true});
    return true;
  }

  // Renames a folder's completed outputs to their final names and counts
  // them; one that cannot be renamed is a failed file.
  void Commit(const std::vector<PendingFile>& pending, const std::vector<PendingSource>& files,
              FolderResult& row, FolderStatus& errorState) {
    std::vector<bool> committed;
    CommitFiles(pending, committed);
    for (std::size_t i = 0; i < pending.size(); ++i) {
      if (committed[i]) {
        if (files[i].kept) {
          ++row.copiedCount;
          row.keptFiles.push_back(files[i].file->name);
        } else {
          ++CounterOf(row, files[i].file->route.counter);
        }
        ++job_.totals.files;
        const long long readSize = FileSize(files[i].file->source);
        const long long writtenSize = FileSize(pending[i].destination);
        if (readSize > 0) job_.totals.bytesRead += readSize;
        if (writtenSize > 0) job_.totals.bytesWritten += writtenSize;
      } else {
        RemoveFile(pending[i].temporary);
        errorState = FolderStatus::HasErrors;
        row.AddErrorFile(files[i].file->name);
      }
    }
  }

  // A folder after the cancelled one: its complete temporaries go.
  void Discard(const FolderWork& folder) {
    for (const FileWork& file : folder.files) {
      if (file.handled) RemoveFile(file.temporary);
    }
  }

  void Append(const FolderResult& row, bool logged) {
    results_.push_back(row);
    if (logged) log_.WriteLine(FolderLogLine(row));
  }

  // Shows a folder's position and name the first time one of its files
  // starts, or its row is emitted; folders start in walk order, so the
  // position only grows.
  void Announce(const FolderWork& folder) {
    if (folder.sequence <= announced_) return;
    announced_ = folder.sequence;
    if (job_.target != nullptr) {
      job_.target->SendToDialog(MSG_FOLDER_POSITION, static_cast<std::uintptr_t>(folder.position), 0);
    }
    SendText(MSG_FOLDER_TEXT, folder.input);
  }

  // Sends a text message; the receiver takes the text over (TakeTextParam).
  void SendText(std::uint32_t message, std::u16string text) {
    if (job_.target == nullptr) return;
    job_.target->SendToDialog(message, 0, TextParam(std::move(text)));
  }

  ConversionJob& job_;
  RunLog& log_;
  std::vector<FolderResult>& results_;
  const bool update_;
  const OptionFlags options_;
  const bool preserveCharts_;
  Handlers handlers_;  // set up before the threads start; only read after
  // The listed folder's own names, by the file system's comparison, for the
  // chart-preserving mode's test whether a new name is taken (walk only).
  std::unordered_set<std::u16string> inputNames_;
  std::vector<std::unique_ptr<WorkerThread>> threads_;
  std::int64_t nextSequence_ = 0;  // walk only
  bool stopped_ = false;           // walk only: a cancelled row was emitted

  // Shared between the walk and the conversion threads.
  std::mutex mutex_;
  std::condition_variable workAvailable_;
  std::condition_variable changed_;  // a file started or ended
  std::priority_queue<QueuedFile, std::vector<QueuedFile>, StartsLater> queue_;
  std::deque<std::unique_ptr<FolderWork>> window_;  // listed, row not yet emitted
  std::int64_t lastStarted_ = -1;                   // the latest folder with a started file
  bool stopping_ = false;

  std::deque<QueuedFile> started_;  // started files whose texts are not sent yet

  std::int64_t announced_ = -1;  // walk only: the latest folder shown
};

void ConversionJob::PrepareProgress() { foldersTotal = CountFolders(settings.inputFolder); }

bool ConversionJob::ProcessFolder(RunLog& log, const std::u16string& inputFolder,
                                  const std::u16string& outputFolder, std::vector<FolderResult>& results) {
  // Outputs made under other options are not up to date whatever their
  // times; the record of those options goes before anything is written, so
  // that an interrupted run cannot leave outputs of mixed options under it.
  const OptionsRecordState record = CompareOptionsRecord(outputFolder, settings.options);
  if (record == OptionsRecordState::Different) RemoveOptionsRecord(outputFolder);
  Pipeline pipeline(*this, log, results, update && record == OptionsRecordState::Same);
  const bool completed = pipeline.Run(inputFolder, outputFolder);
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
