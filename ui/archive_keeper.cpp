// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/archive_keeper.h"

#include <QMetaObject>
#include <utility>

#include "chart/chart_load.h"

namespace nimbrel::ui {

ArchiveKeeper::ArchiveKeeper(const HistoryStore& store, SharedState& state)
    : store_(store), state_(state), worker_([this] { Run(); }) {}

ArchiveKeeper::~ArchiveKeeper() {
  Finish();
}

bool ArchiveKeeper::Post(Job job) {
  {
    std::lock_guard lock(mutex_);
    if (finishing_) {
      return false;
    }
    jobs_.push_back(std::move(job));
  }
  wake_.notify_one();
  return true;
}

void ArchiveKeeper::Run() {
  for (;;) {
    Job job;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return finishing_ || !jobs_.empty(); });
      if (jobs_.empty()) {
        return;  // finishing, and nothing left to do
      }
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    job();
  }
}

void ArchiveKeeper::Finish() {
  {
    std::lock_guard lock(mutex_);
    finishing_ = true;
  }
  wake_.notify_one();
  if (worker_.joinable()) {
    worker_.join();
  }
  archive_.reset();
}

void ArchiveKeeper::Report(std::function<void()> call) {
  // Queued to this object: dropped with it, should the window be gone first.
  QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

void ArchiveKeeper::Open(const ArchiveOptions& options) {
  summary_ = {};
  summary_.phase = ArchiveSummary::Phase::kOpening;
  emit SummaryChanged();
  Post([this, options] {
    ArchiveError error;
    archive_ = OpenArchive(options, error);
    if (!archive_) {
      ReportUnusable(error.message);
      Report([this, message = QString::fromStdString(error.message)] { emit Fault(message); });
      return;
    }
    ReportInfo(false, false);
  });
}

bool ArchiveKeeper::DropWhenUnusable(const ArchiveStatus& fault) {
  if (!fault ||
      (fault->fault != ArchiveFault::NotADatabase && fault->fault != ArchiveFault::NewerVersion)) {
    return false;
  }
  // The message says the archive is not used: nothing more is written to it in this run, so the
  // file stays as it was for whoever looks into it.
  archive_.reset();
  ReportUnusable(fault->message);
  return true;
}

void ArchiveKeeper::ReportUnusable(const std::string& reason) {
  Report([this, reason] {
    summary_.phase = ArchiveSummary::Phase::kNotInUse;
    summary_.unusable = reason;
    emit SummaryChanged();
  });
}

void ArchiveKeeper::ReportInfo(bool merged, bool incomplete) {
  ArchiveInfo info;
  // A failed read leaves the counts as they were shown; the file itself is fine.
  const bool read = !archive_->ReadInfo(info);
  Report([this, info, read, merged, incomplete] {
    summary_.phase = ArchiveSummary::Phase::kReady;
    if (read) {
      summary_.records = info.records;
      summary_.lastMerge = info.lastMerge;
    }
    if (merged) {
      summary_.lastMergeIncomplete = incomplete;
    }
    emit SummaryChanged();
  });
}

void ArchiveKeeper::AddLiveSample(std::string_view text, std::chrono::sys_seconds received) {
  Post([this, text = std::string(text), received] {
    if (!archive_) {
      return;
    }
    bool kept = false;
    ArchiveStatus fault = archive_->AddLiveSample(text, received, kept);
    if (kept) {
      Report([this] { emit LiveSampleKept(); });
    }
    DropWhenUnusable(fault);
    if (fault && !liveFaultTold_) {
      liveFaultTold_ = true;
      Report([this, message = QString::fromStdString(fault->message)] { emit Fault(message); });
    }
  });
}

void ArchiveKeeper::Merge(DownloadEnd end, bool toFile, int recordCount) {
  // Set before the reader goes on, so it refuses history frames until the merge has read the
  // store.
  state_.mergeRunning = true;
  const bool queued = Post([this, end, toFile, recordCount] {
    MergeReport report{end, toFile, archive_ != nullptr, recordCount, 0, {}, std::nullopt};
    if (archive_) {
      const std::vector<std::string_view> texts =
          RecordTexts(store_, static_cast<std::size_t>(std::max(recordCount, 0)));
      report.arrived = texts.size();
      report.fault = archive_->Merge(texts, report.counts);
      DropWhenUnusable(report.fault);
    }
    state_.mergeRunning = false;
    const bool incomplete =
        end != DownloadEnd::kComplete || report.arrived < static_cast<std::size_t>(recordCount);
    if (archive_ && !report.fault) {
      ReportInfo(true, incomplete);
    }
    Report([this, report] {
      summary_.merging = false;
      emit SummaryChanged();
      emit MergeFinished(report);
    });
  });
  if (!queued) {
    state_.mergeRunning = false;  // shutting down: nothing will read the store
    return;
  }
  summary_.merging = true;
  emit SummaryChanged();
}

template <typename Reply>
void ArchiveKeeper::PostRead(std::atomic<std::uint64_t>& tickets, std::function<void(Reply&)> read,
                             std::function<void(const Reply&)> done) {
  const std::uint64_t ticket = ++tickets;
  Post([this, &tickets, ticket, read = std::move(read), done = std::move(done)] {
    if (ticket != tickets) {
      return;  // a newer read is queued behind this one
    }
    auto reply = std::make_shared<Reply>();
    reply->archived = archive_ != nullptr;
    if (archive_) {
      read(*reply);
      DropWhenUnusable(reply->fault);
    }
    Report([&tickets, ticket, reply, done] {
      if (ticket == tickets) {
        done(*reply);
      }
    });
  });
}

void ArchiveKeeper::ReadChart(const ChartRequest& request, RecordTimePoint now,
                              std::function<void(const ChartReply&)> done) {
  PostRead<ChartReply>(
      chartTicket_,
      [this, request, now](ChartReply& reply) {
        reply.fault = LoadChart(*archive_, request, now, reply.data);
      },
      std::move(done));
}

void ArchiveKeeper::ReadFigures(std::chrono::local_days today, unsigned seasonStart,
                                std::function<void(const FiguresReply&)> done) {
  PostRead<FiguresReply>(
      figuresTicket_,
      [this, today, seasonStart](FiguresReply& reply) {
        using namespace std::chrono;
        // Every day the archive knows: all time is one of the periods.
        ArchiveInfo info;
        std::vector<DaySummary> days;
        reply.fault = archive_->ReadInfo(info);
        if (!reply.fault) {
          reply.fault = archive_->ReadDays(local_days{year{1} / 1 / 1},
                                           local_days{year{9999} / 12 / 31}, days);
        }
        if (!reply.fault) {
          std::optional<local_days> firstRecord;
          if (info.firstRecord) {
            firstRecord = floor<std::chrono::days>(*info.firstRecord);
          }
          reply.figures = SummarizeRecords(days, firstRecord, today, seasonStart);
        }
      },
      std::move(done));
}

}  // namespace nimbrel::ui
