#include "job/settlement.h"

#include <unordered_set>

#include "util/file_system.h"
#include "util/path.h"

namespace {

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

// The row of a folder that has no files to settle.
bool SettleWithoutFiles(const FolderWork& folder, Settlement& out) {
  switch (folder.kind) {
    case FolderKind::ListFailed:
      // Its files would vanish without a word: the folder itself is the
      // failed entry, and the row is logged like any other.
      out.row.status = FolderStatus::HasErrors;
      out.row.AddErrorFile(FolderEntryName(folder.input));
      return true;
    case FolderKind::CancelledBeforeFiles:
      out.row.status = FolderStatus::Cancelled;
      out.logged = false;
      out.stopsRun = true;
      return true;
    case FolderKind::CreationFailed:
      out.row.status = FolderStatus::FolderCreationFailed;
      out.logged = false;
      return true;
    case FolderKind::Files:
      break;
  }
  return false;
}

// A failure found while publishing; a cancelled row keeps its status.
void MarkFailed(FolderResult& row, const FileWork& file) {
  if (row.status == FolderStatus::Ok) row.status = FolderStatus::HasErrors;
  row.AddErrorFile(file.name, file.reason);
}

}  // namespace

Settlement SettleFolder(const FolderWork& folder, bool cancelled, std::int64_t lastStarted) {
  Settlement out;
  out.row.folder = folder.input;
  if (folder.kind != FolderKind::CreationFailed) out.row.outputFolder = folder.output;
  if (SettleWithoutFiles(folder, out)) return out;

  bool errors = false;
  // The output names taken in this folder, by the file system's comparison:
  // the first file in listing order to write a name keeps it.
  std::unordered_set<std::u16string> written;
  for (const FileWork& file : folder.files) {
    if (file.skipped) {
      if (written.insert(file.key).second) {
        ++out.skipped;
        continue;
      }
      errors = true;
      out.row.AddErrorFile(file.name);
      continue;
    }
    if (!file.started) continue;  // cancelled before it started
    if (file.handled && written.insert(file.key).second) {
      const bool failedKeep = file.keptAsIs && file.fallback == Fallback::KeepFailed;
      out.renames.push_back(
          Rename{&file, file.temporary, file.destination, file.keptAsIs, failedKeep, false});
      if (failedKeep) {
        errors = true;
        out.row.AddErrorFile(file.name, file.reason);
      }
      continue;
    }
    if (file.handled) out.discarded.push_back(file.temporary);
    // What could not be converted, or lost its new name, stays as it is
    // where a fallback allows: its charts still name it so.
    const std::u16string ownKey = FileNameKey(file.name);
    if (file.fallback != Fallback::None && !file.keptAsIs && written.insert(ownKey).second) {
      const bool failed = file.fallback == Fallback::KeepFailed;
      out.renames.push_back(
          Rename{&file, std::u16string(), CombinePath(folder.output, file.name), true, failed, true});
      // A failure all the same, in its place in the listing (the counts stand).
      if (failed) {
        errors = true;
        out.row.AddErrorFile(file.name, file.reason);
      }
      continue;
    }
    errors = true;
    out.row.AddErrorFile(file.name, file.reason);
  }

  if (folder.waiting > 0 || (cancelled && lastStarted == folder.sequence)) {
    out.row.status = FolderStatus::Cancelled;
    out.logged = false;
    out.stopsRun = true;
    return out;
  }
  out.row.status = errors ? FolderStatus::HasErrors : FolderStatus::Ok;
  // Nothing follows a cancelled run's last folder with a started file.
  out.stopsRun = cancelled && lastStarted <= folder.sequence;
  return out;
}

void ApplySettlement(Settlement& settlement, const std::u16string& outputFolder, RunTotals& totals) {
  FolderResult& row = settlement.row;
  totals.skipped += settlement.skipped;
  row.skippedCount += static_cast<std::int32_t>(settlement.skipped);
  for (const std::u16string& temporary : settlement.discarded) RemoveFile(temporary);

  // The kept copies are made first, so that one rename batch (one flush of
  // the disk) serves the whole folder.
  std::vector<PendingFile> pending;
  std::vector<Rename*> published;
  for (Rename& rename : settlement.renames) {
    if (rename.copyFirst) {
      std::u16string name;
      const bool reserved = CreateTemporaryFile(outputFolder, name);
      if (reserved) rename.temporary = CombinePath(outputFolder, name);
      if (!reserved || !CopyFileOverwrite(rename.file->source, rename.temporary)) {
        if (reserved) RemoveFile(rename.temporary);
        if (!rename.failed) MarkFailed(row, *rename.file);
        continue;
      }
    }
    pending.push_back(PendingFile{rename.temporary, rename.destination});
    published.push_back(&rename);
  }
  std::vector<bool> committed;
  CommitFiles(pending, committed);
  for (std::size_t i = 0; i < pending.size(); ++i) {
    Rename& rename = *published[i];
    const FileWork& file = *rename.file;
    if (!committed[i]) {
      RemoveFile(pending[i].temporary);
      if (!rename.failed) MarkFailed(row, file);
      continue;
    }
    rename.writtenSize = FileSize(rename.destination);
    settlement.landed.push_back(&rename);
    if (rename.kept) {
      // A failed one is not counted (the counts stand), but it is there.
      if (!rename.failed) ++row.copiedCount;
      row.keptFiles.push_back(file.name);
    } else {
      ++CounterOf(row, file.route.counter);
    }
    // The totals count what the run made: a failed file's copy is not.
    if (rename.failed) continue;
    ++totals.files;
    // An update run read the source's size as it planned the file.
    const long long readSize = file.facts.size >= 0 ? file.facts.size : FileSize(file.source);
    if (readSize > 0) totals.bytesRead += readSize;
    if (rename.writtenSize > 0) totals.bytesWritten += rename.writtenSize;
  }
}
