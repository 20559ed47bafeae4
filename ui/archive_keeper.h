// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "archive/archive.h"
#include "chart/chart_data.h"
#include "export/history_store.h"
#include "station/shared_state.h"
#include "ui/records_figures.h"

namespace nimbrel::ui {

// How a download came to be merged.
enum class DownloadEnd {
  kComplete,    // every record accounted for (some may have been given up)
  kEndedEarly,  // the console ended it before all records were in
  kUnplugged,   // the console went away during it
};

// What the window shows of the archive.
struct ArchiveSummary {
  enum class Phase { kNotInUse, kOpening, kReady };
  Phase phase = Phase::kNotInUse;
  bool merging = false;
  std::int64_t records = 0;
  std::optional<std::chrono::sys_seconds> lastMerge;
  bool lastMergeIncomplete = false;
  // Why the archive is not in use, when a fault made it so: the fault's text.
  std::string unusable;
};

// One merge as it ended: how the download ended, its records, and what the archive made of them.
struct MergeReport {
  DownloadEnd end = DownloadEnd::kComplete;
  bool toFile = false;      // the download also had an export file
  bool archived = false;    // the archive was in use (else nothing was merged)
  int recordCount = 0;      // announced by the download
  std::size_t arrived = 0;  // records in the store
  MergeCounts counts;
  ArchiveStatus fault;
};

// What one chart read brought: the chart, or that there is no archive to read, or a fault.
struct ChartReply {
  bool archived = false;
  ArchiveStatus fault;
  ChartData data;
};

// What one read of the Records tab's figures brought, as a chart read does.
struct FiguresReply {
  bool archived = false;
  ArchiveStatus fault;
  RecordsFigures figures;
};

// The weather archive as the window uses it. Opening, merging and keeping live samples run on a
// thread of its own, one job after the other, so that neither a slow disk nor another program's
// lock holds up the window; what they report arrives on the GUI thread.
class ArchiveKeeper : public QObject {
  Q_OBJECT

 public:
  ArchiveKeeper(const HistoryStore& store, SharedState& state);
  ~ArchiveKeeper() override;

  // Opens (or creates) the archive file.
  void Open(const ArchiveOptions& options);

  // Keeps a live text when it is the first of its period.
  void AddLiveSample(std::string_view text, std::chrono::sys_seconds received);

  // Merges the records in store slots 0 to recordCount - 1. The store stays untouched by the
  // reader (SharedState::mergeRunning) until the merge has ended.
  void Merge(DownloadEnd end, bool toFile, int recordCount);

  // Reads a chart after the jobs queued before it; `done` gets it on the GUI thread. A later read
  // supersedes this one: dropped if still queued, and its reply never handed over.
  void ReadChart(const ChartRequest& request, RecordTimePoint now,
                 std::function<void(const ChartReply&)> done);

  // Reads the figures of the Records tab's periods as of `today`, as ReadChart reads a chart
  // (a later read supersedes this one).
  void ReadFigures(std::chrono::local_days today, unsigned seasonStart,
                   std::function<void(const FiguresReply&)> done);

  // Runs what is queued to its end and stops the thread (at shutdown); later jobs are dropped.
  void Finish();

  const ArchiveSummary& Summary() const { return summary_; }
  bool Ready() const { return summary_.phase == ArchiveSummary::Phase::kReady; }

 signals:
  void SummaryChanged();
  // A fault the user must see: the archive cannot be used, or a live sample was not kept (told
  // once a run).
  void Fault(const QString& message);
  void MergeFinished(const MergeReport& report);
  // A live sample went into the archive.
  void LiveSampleKept();

 private:
  using Job = std::function<void()>;

  // False when the keeper is finishing and the job was dropped.
  bool Post(Job job);
  void Run();
  // Posts a read that `ticket`'s later reads supersede: `read` fills the reply on the worker
  // (with the archive open), `done` gets it on the GUI thread unless superseded meanwhile.
  template <typename Reply>
  void PostRead(std::atomic<std::uint64_t>& ticket, std::function<void(Reply&)> read,
                std::function<void(const Reply&)> done);
  // Hands a call over to the GUI thread, without waiting.
  void Report(std::function<void()> call);
  void ReportInfo(bool merged, bool incomplete);
  // After a fault that makes the file unusable (damaged, or of a newer version), closes it and
  // tells the window it is not in use; true when it did.
  bool DropWhenUnusable(const ArchiveStatus& fault);
  // The window is told the archive is not in use, and why.
  void ReportUnusable(const std::string& reason);

  const HistoryStore& store_;
  SharedState& state_;
  ArchiveSummary summary_;  // GUI thread only

  // The worker's own.
  std::unique_ptr<Archive> archive_;
  bool liveFaultTold_ = false;
  // The number of the latest chart read; an older one is superseded.
  std::atomic<std::uint64_t> chartTicket_{0};
  std::atomic<std::uint64_t> figuresTicket_{0};

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Job> jobs_;
  bool finishing_ = false;
  std::thread worker_;
};

}  // namespace nimbrel::ui
