#include "job/conversion_pool.h"

#include <optional>
#include <string>
#include <utility>

#include "util/file_system.h"

namespace {

// How many listed files may wait for a thread, per thread, before the walk
// pauses; and how many folders may wait for their rows. Together they bound
// what is held besides the files being converted, while keeping the next
// folder's files ready when one folder's last long file runs.
constexpr std::size_t kWaitingFilesPerThread = 4;
constexpr std::size_t kMaxFoldersInFlight = 64;

// A pool thread keeps the input and output folder of its last file open, so
// that its files there are reached relative to them.
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

}  // namespace

bool ConversionPool::StartsLater::operator()(const QueuedFile& a, const QueuedFile& b) const {
  if (a.folder->sequence != b.folder->sequence) return a.folder->sequence > b.folder->sequence;
  if (a.file->size != b.file->size) return a.file->size < b.file->size;
  return a.file->position > b.file->position;
}

ConversionPool::ConversionPool(int threads, const std::atomic<bool>& cancel, Callbacks callbacks)
    : cancel_(cancel), callbacks_(std::move(callbacks)) {
  if (threads <= 1) return;
  for (int i = 0; i < threads; ++i) {
    auto thread = std::make_unique<WorkerThread>();
    // A thread the system refuses leaves the others to do the work; with
    // none, the walk does it.
    if (!thread->Start([this] { ThreadMain(); })) break;
    threads_.push_back(std::move(thread));
  }
}

ConversionPool::~ConversionPool() { StopThreads(); }

void ConversionPool::StopThreads() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  workAvailable_.notify_all();
  for (auto& thread : threads_) thread->Join();
  threads_.clear();
}

void ConversionPool::Wake() {
  // Taking the lock orders the wake after any check of the flag made under
  // it, so no wait misses it.
  { std::lock_guard<std::mutex> lock(mutex_); }
  workAvailable_.notify_all();
  changed_.notify_all();
}

void ConversionPool::Submit(std::unique_ptr<FolderWork> folder) {
  if (Serial()) {
    RunHere(*folder);
    std::unique_lock<std::mutex> lock(mutex_);
    window_.push_back(std::move(folder));
    EmitReady(lock);
    return;
  }
  std::unique_lock<std::mutex> lock(mutex_);
  for (FileWork& file : folder->files) {
    if (!file.skipped) queue_.push(QueuedFile{folder.get(), &file});
  }
  window_.push_back(std::move(folder));
  workAvailable_.notify_all();
  for (;;) {
    EmitReady(lock);
    if (Cancelled()) return;
    if (queue_.size() < kWaitingFilesPerThread * threads_.size() && window_.size() < kMaxFoldersInFlight)
      return;
    changed_.wait(lock);
  }
}

void ConversionPool::Finish() {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      EmitReady(lock);
      if (window_.empty()) break;
      changed_.wait(lock);
    }
  }
  StopThreads();
}

// The serial run of one folder's files, in listing order. After Cancel no
// further file starts.
void ConversionPool::RunHere(FolderWork& folder) {
  for (FileWork& file : folder.files) {
    if (file.skipped) continue;
    if (Cancelled()) break;
    --folder.waiting;
    file.started = true;
    lastStarted_ = folder.sequence;
    callbacks_.fileStarted(folder, file, ++folder.startedCount);
    file.handled = callbacks_.run(file);
  }
}

void ConversionPool::ThreadMain() {
  ThreadScopes scopes;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    workAvailable_.wait(lock, [this] { return stopping_ || (!queue_.empty() && !Cancelled()); });
    if (stopping_) return;
    QueuedFile next = queue_.top();
    queue_.pop();
    --next.folder->waiting;
    ++next.folder->running;
    next.file->started = true;
    next.started = ++next.folder->startedCount;
    if (next.folder->sequence > lastStarted_) lastStarted_ = next.folder->sequence;
    started_.push_back(next);
    changed_.notify_all();
    lock.unlock();
    scopes.Enter(next.folder->input, next.folder->output);
    const bool handled = callbacks_.run(*next.file);
    lock.lock();
    next.file->handled = handled;
    --next.folder->running;
    changed_.notify_all();
  }
}

bool ConversionPool::Ready(const FolderWork& folder) const {
  return folder.running == 0 && (folder.waiting == 0 || Cancelled());
}

// Tells the files the threads have started, in the order they started; the
// lock is let go meanwhile, so that a slow receiver never holds up a thread.
void ConversionPool::SendStarted(std::unique_lock<std::mutex>& lock) {
  while (!started_.empty()) {
    std::deque<QueuedFile> batch;
    batch.swap(started_);
    lock.unlock();
    for (const QueuedFile& item : batch) callbacks_.fileStarted(*item.folder, *item.file, item.started);
    lock.lock();
  }
}

// Emits the folders at the front of the window that are ready, in walk
// order. Called with the lock held; let go while a folder is emitted.
void ConversionPool::EmitReady(std::unique_lock<std::mutex>& lock) {
  for (;;) {
    // A started file's text goes out before its folder's row.
    SendStarted(lock);
    if (window_.empty() || !Ready(*window_.front())) return;
    std::unique_ptr<FolderWork> folder = std::move(window_.front());
    window_.pop_front();
    // Files left waiting after Cancel never start: the queue holds only this
    // folder's and later ones', which are not emitted.
    if (folder->waiting > 0) queue_ = {};
    const std::int64_t lastStarted = lastStarted_;
    lock.unlock();
    callbacks_.emit(*folder, lastStarted);
    lock.lock();
  }
}
