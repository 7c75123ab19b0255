#include "playlist/lengthrecorder.h"

#include <QThreadPool>
#include <QTimer>
#include <algorithm>
#include <exception>
#include <mutex>

#include "platform/errors.h"

namespace {
constexpr int kCommitGapMs = 1000;  // at most one playlist write a second
constexpr int kBusyPollMs = 250;    // how often the player's open file is asked while work remains
}  // namespace

// Reads of the playlist still running when the recorder goes reach no one.
struct TLengthRecorder::TReadGate {
  std::mutex mutex;
  TLengthRecorder* recorder = nullptr;
};

TLengthRecorder::TLengthRecorder(const QString& fileName, QObject* parent)
    : QObject(parent),
      playlist_(fileName),
      gate_(std::make_shared<TReadGate>()),
      rescanTimer_(new QTimer(this)),
      commitTimer_(new QTimer(this)),
      busyTimer_(new QTimer(this)) {
  rescanTimer_->setSingleShot(true);
  rescanTimer_->setInterval(0);
  connect(rescanTimer_, &QTimer::timeout, this, &TLengthRecorder::RescanNow);
  commitTimer_->setSingleShot(true);
  commitTimer_->setTimerType(Qt::PreciseTimer);  // a coarse timer may fire 5% early
  connect(commitTimer_, &QTimer::timeout, this, &TLengthRecorder::Commit);
  busyTimer_->setInterval(kBusyPollMs);
  connect(busyTimer_, &QTimer::timeout, this, &TLengthRecorder::PollBusyFile);
  connect(&scanner_, &TLengthScanner::Measured, this, &TLengthRecorder::Take);
  connect(&scanner_, &TLengthScanner::Drained, this, &TLengthRecorder::SyncTimers);
  gate_->recorder = this;
}

TLengthRecorder::~TLengthRecorder() {
  {
    std::lock_guard lock(gate_->mutex);
    gate_->recorder = nullptr;
  }
  Stop();
}

void TLengthRecorder::SetBusyFile(std::function<QString()> busyFile) {
  busyFile_ = std::move(busyFile);
}

void TLengthRecorder::SetRefresh(std::function<void()> refresh) {
  refresh_ = std::move(refresh);
}

void TLengthRecorder::Rescan() {
  if (!stopped_) rescanTimer_->start();
}

// The file is read on a pool thread: a long playlist takes tens of milliseconds, after every
// refill. What a write finds changed meanwhile is left alone by the conditional record.
void TLengthRecorder::RescanNow() {
  if (stopped_) return;
  rescanTimer_->stop();
  const uint64_t read = ++reads_;
  QThreadPool::globalInstance()->start([gate = gate_, name = playlist_.FileName(), read] {
    QVector<TEntryFile> entries;
    try {
      entries = TPlaylistFile(name).EntriesWithoutLength();
    } catch (const std::exception&) {
      // An unreadable file has nothing to measure, as a missing one.
    }
    std::lock_guard lock(gate->mutex);
    if (TLengthRecorder* recorder = gate->recorder)
      QMetaObject::invokeMethod(
          recorder, [recorder, read, entries] { recorder->Scan(read, entries); },
          Qt::QueuedConnection);
  });
}

void TLengthRecorder::Scan(uint64_t read, const QVector<TEntryFile>& entries) {
  // Only the newest read counts: an older one may name entries since measured or gone.
  if (stopped_ || read != reads_) return;
  readDone_ = read;
  PollBusyFile();
  QVector<TLengthJob> jobs;
  jobs.reserve(entries.size());
  for (const TEntryFile& entry : entries) jobs.append({entry.Number, entry.Path});
  scanner_.Scan(jobs);
  SyncTimers();
}

void TLengthRecorder::Take(const TLengthResult& result) {
  if (stopped_) return;
  // The same entry again (a rescan before the write) replaces what was found for it.
  const auto same = std::find_if(found_.begin(), found_.end(), [&](const TMeasuredLength& m) {
    return m.Number == result.Number && m.Path == result.Path;
  });
  if (same != found_.end())
    same->LengthMs = result.LengthMs;
  else
    found_.append({result.Number, result.Path, result.LengthMs});
  if (!commitTimer_->isActive()) {
    const qint64 since = sinceCommit_.isValid() ? sinceCommit_.elapsed() : kCommitGapMs;
    commitTimer_->start(int(std::clamp<qint64>(kCommitGapMs - since, 0, kCommitGapMs)));
  }
}

void TLengthRecorder::Commit() {
  commitTimer_->stop();
  if (stopped_ || found_.isEmpty()) return;
  if (sinceCommit_.isValid() && sinceCommit_.elapsed() < kCommitGapMs) {
    commitTimer_->start(int(kCommitGapMs - sinceCommit_.elapsed()));
    return;
  }
  const QVector<TMeasuredLength> found = std::exchange(found_, {});
  int written = 0;
  try {
    written = playlist_.RecordLengths(found);
  } catch (const EIniFileException&) {
    // A read-only playlist only goes without the lengths, as when a song is played.
  }
  sinceCommit_.start();  // the gap counts from the end of a write to the start of the next
  written_ += written;
  if (written > 0) ++commits_;
  if (written > 0 && refresh_) refresh_();
  SyncTimers();
}

void TLengthRecorder::Stop() {
  stopped_ = true;
  rescanTimer_->stop();
  commitTimer_->stop();
  busyTimer_->stop();
  found_.clear();
  scanner_.Stop();
}

bool TLengthRecorder::Done() const {
  return !rescanTimer_->isActive() && (stopped_ || readDone_ == reads_) && found_.isEmpty() &&
         scanner_.Idle();
}

void TLengthRecorder::PollBusyFile() {
  if (busyFile_) scanner_.SetBusyFile(busyFile_());
  SyncTimers();
}

// The busy file is asked only while the scanner has work or jobs waiting for it.
void TLengthRecorder::SyncTimers() {
  const bool polling = !stopped_ && busyFile_ && (!scanner_.Idle() || scanner_.Waiting() > 0);
  if (polling && !busyTimer_->isActive())
    busyTimer_->start();
  else if (!polling && busyTimer_->isActive())
    busyTimer_->stop();
}
