#include "audio/lengthscanner.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QFile>
#include <QHash>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

#include "audio/diskorder.h"
#include "audio/mp3decoder.h"

namespace {

// From the kernel's ioprio interface.
constexpr int kIoprioWhoProcess = 1;
constexpr int kIoprioClassIdle = 3;
constexpr int kIoprioClassShift = 13;
// How long Stop waits for a scan in progress before leaving it behind.
constexpr auto kStopWait = std::chrono::milliseconds(20);

// What identifies a file's content well enough to reuse what it gave.
struct TFileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  int64_t modifiedNs = 0;
  bool operator==(const TFileStamp&) const = default;
};

std::optional<TFileStamp> Stamp(const QString& path) {
  struct stat st;
  if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0) return {};
  return TFileStamp{st.st_dev, st.st_ino, st.st_size,
                    int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

// This thread only: the idle scheduling class (falling back to nice 19) and the idle I/O class.
void LowerThisThreadsPriority() {
  const pid_t tid = ::gettid();
  sched_param param{};
  param.sched_priority = 0;
  ::pthread_setschedparam(::pthread_self(), SCHED_IDLE, &param);
  ::setpriority(PRIO_PROCESS, id_t(tid), 19);
  ::syscall(SYS_ioprio_set, kIoprioWhoProcess, tid, kIoprioClassIdle << kIoprioClassShift);
}

// The length the player's device would report, -1 when the file cannot be decoded. The same
// open as the player's, less its tags: a song with a trusted header costs a few kilobytes.
qint64 MeasureMs(const QString& path) {
  try {
    const TMp3Decoder song(path, {.ReadTags = false});
    return song.Rate() > 0 ? qint64(song.LengthFrames() * 1000 / song.Rate()) : -1;
  } catch (const std::exception&) {
    return -1;
  }
}

}  // namespace

struct TLengthScanner::TShared {
  mutable std::mutex mutex;
  std::condition_variable wake;  // work arrived, or quit
  std::condition_variable idle;  // the worker put down a job
  std::deque<TLengthJob> queue;
  std::deque<TLengthJob> waiting;  // jobs for the busy file
  uint64_t batch = 0;              // counts Scan() calls
  uint64_t orderedBatch = 0;       // the batch the queue was put in disk order for
  std::atomic<bool> stopping{false};
  QString busyPath;
  bool scanning = false;
  bool quit = false;
  bool started = false;
  bool finished = false;  // the worker returned
  int tid = 0;
  // Delivery to the owner's thread.
  TLengthScanner* owner = nullptr;
  QVector<TLengthResult> results;
  bool drained = false;
  bool deliveryPosted = false;
  // The worker's own memory of what each path gave (-1: undecodable).
  QHash<QString, std::pair<TFileStamp, qint64>> known;

  void PostLocked() {
    if (deliveryPosted || !owner) return;
    deliveryPosted = true;
    QMetaObject::invokeMethod(
        owner, [o = owner] { o->Deliver(); }, Qt::QueuedConnection);
  }

  // Puts the jobs of a new batch in the order of their places on the disk (DiskOrder), unless
  // a newer batch came meanwhile. Called and returns with the lock held.
  void OrderBatchLocked(std::unique_lock<std::mutex>& lock) {
    const uint64_t ordering = batch;
    QVector<QString> paths;
    paths.reserve(qsizetype(queue.size()));
    for (const TLengthJob& job : queue) paths.append(job.Path);
    lock.unlock();
    const QVector<int> order = DiskOrder(
        paths, &DiskPlaceOf,
        [this](const QString& path) {
          const auto it = known.constFind(path);
          return it != known.constEnd() && Stamp(path) == it->first;
        },
        [this] { return stopping.load(std::memory_order_relaxed); });
    lock.lock();
    orderedBatch = ordering;
    if (batch != ordering || queue.size() != size_t(order.size())) return;
    std::deque<TLengthJob> ordered;
    for (const int i : order) ordered.push_back(std::move(queue[size_t(i)]));
    queue.swap(ordered);
  }

  // The worker:
  // 1. lower its own priorities
  // 2. put a new batch in disk order, then take the next job; a missing file is dropped
  // 3. the busy file's job waits
  // 4. a file seen before, unchanged, answers from memory; else 5. it is scanned
  // 6. the result goes to the owner, unless Stop came meanwhile
  static void Run(const std::shared_ptr<TShared>& s) {
    // 1.
    LowerThisThreadsPriority();
    std::unique_lock lock(s->mutex);
    s->tid = int(::gettid());
    for (;;) {
      // 2.
      s->wake.wait(lock, [&] { return s->quit || !s->queue.empty(); });
      if (s->quit) break;
      if (s->orderedBatch != s->batch) {
        s->scanning = true;
        s->OrderBatchLocked(lock);
        s->scanning = false;
        if (s->quit) break;
        continue;
      }
      TLengthJob job = std::move(s->queue.front());
      s->queue.pop_front();
      s->scanning = true;
      const QString busyPath = s->busyPath;
      lock.unlock();

      qint64 lengthMs = -1;
      bool wait = false;
      if (const std::optional<TFileStamp> stamp = Stamp(job.Path)) {
        // 3.
        const std::optional<TFileStamp> busy = Stamp(busyPath);
        wait = busy && busy->device == stamp->device && busy->inode == stamp->inode;
        if (!wait) {
          // 4.
          const auto it = s->known.constFind(job.Path);
          if (it != s->known.constEnd() && it->first == *stamp) {
            lengthMs = it->second;
          } else {
            // 5.
            lengthMs = MeasureMs(job.Path);
            s->known.insert(job.Path, {*stamp, lengthMs});
          }
        }
      }

      lock.lock();
      s->scanning = false;
      s->idle.notify_all();
      if (s->quit) break;
      // 6.
      if (wait) {
        // Unless the player moved on meanwhile.
        if (s->busyPath == busyPath)
          s->waiting.push_back(std::move(job));
        else
          s->queue.push_front(std::move(job));
      } else if (lengthMs >= 0) {
        s->results.push_back({job.Number, job.Path, lengthMs});
        s->PostLocked();
      }
      if (s->queue.empty()) {
        s->drained = true;
        s->PostLocked();
      }
    }
    s->finished = true;
    s->idle.notify_all();
  }
};

TLengthScanner::TLengthScanner(QObject* parent)
    : QObject(parent), shared_(std::make_shared<TShared>()) {
  shared_->owner = this;
}

TLengthScanner::~TLengthScanner() {
  Stop();
}

void TLengthScanner::Scan(const QVector<TLengthJob>& jobs) {
  std::lock_guard lock(shared_->mutex);
  if (shared_->quit) return;
  shared_->queue.assign(jobs.begin(), jobs.end());
  shared_->waiting.clear();
  ++shared_->batch;
  if (jobs.isEmpty()) {
    shared_->drained = true;
    shared_->PostLocked();
    return;
  }
  if (!shared_->started) {
    shared_->started = true;
    std::thread(&TShared::Run, shared_).detach();
  }
  shared_->wake.notify_one();
}

void TLengthScanner::SetBusyFile(const QString& path) {
  std::lock_guard lock(shared_->mutex);
  if (shared_->busyPath == path) return;
  shared_->busyPath = path;
  // The waiting jobs go first: they are the oldest.
  shared_->queue.insert(shared_->queue.begin(), shared_->waiting.begin(), shared_->waiting.end());
  shared_->waiting.clear();
  shared_->wake.notify_one();
}

// The worker is detached from the start: Stop waits a moment for it to put down its file, and a
// scan still running after that (a slow disk, the idle I/O class starved) finishes unseen,
// holding only the shared state, which it owns with us.
void TLengthScanner::Stop() {
  std::unique_lock lock(shared_->mutex);
  if (shared_->quit) return;
  shared_->quit = true;
  shared_->stopping.store(true);
  shared_->owner = nullptr;
  shared_->queue.clear();
  shared_->waiting.clear();
  shared_->results.clear();
  shared_->wake.notify_all();
  if (shared_->started) shared_->idle.wait_for(lock, kStopWait, [&] { return shared_->finished; });
}

bool TLengthScanner::Idle() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->queue.empty() && !shared_->scanning;
}

int TLengthScanner::Waiting() const {
  std::lock_guard lock(shared_->mutex);
  return int(shared_->waiting.size());
}

int TLengthScanner::WorkerThreadId() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->tid;
}

void TLengthScanner::Deliver() {
  QVector<TLengthResult> results;
  bool drained = false;
  {
    std::lock_guard lock(shared_->mutex);
    shared_->deliveryPosted = false;
    results.swap(shared_->results);
    std::swap(drained, shared_->drained);
  }
  for (const TLengthResult& result : results) emit Measured(result);
  if (drained) emit Drained();
}
