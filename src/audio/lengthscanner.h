#pragma once
// Measures songs' exact lengths in the background, one file at a time, with the same open the
// player makes of a song (TMp3Decoder, tags left unread): a few kilobytes for a song whose header
// states its length, libmpg123's full scan for the others. Each batch is read in the order its
// files lie on the disk (DiskOrder), so the disk sweeps across them once.
//
// The worker thread runs at the lowest CPU priority (SCHED_IDLE, nice 19) and in the idle I/O
// class, so it only gets the processor and the disk when nobody else wants them. The file the
// player has open (SetBusyFile; compared by device and inode, so another name of the same file
// counts too) is never read: its job waits until the player moves on. Results come back on the
// owner's thread through Measured(). Missing and undecodable files give no result; what a file
// gave is remembered by path with its size and modification time, so a file that failed is not
// read again, and one already measured answers at once, until it changes.

#include <QObject>
#include <QString>
#include <QVector>
#include <memory>

struct TLengthJob {
  int Number = 0;  // the entry the path was read from
  QString Path;
};

struct TLengthResult {
  int Number = 0;
  QString Path;
  qint64 LengthMs = 0;  // as the player's device reports it: frames * 1000 / rate
};

class TLengthScanner : public QObject {
  Q_OBJECT
 public:
  explicit TLengthScanner(QObject* parent = nullptr);
  // Stop().
  ~TLengthScanner() override;

  // Replaces every job not started yet (also those waiting for the busy file) with jobs, taken
  // in their order. The worker starts with the first call.
  void Scan(const QVector<TLengthJob>& jobs);
  // The file the player has open, empty for none. Jobs for it wait until it changes.
  void SetBusyFile(const QString& path);
  // Ends the worker at once: nothing is reported afterwards. A scan in progress that does not
  // end within a few milliseconds is left to finish on its own, unseen. Later calls do nothing.
  void Stop();

  // Whether no job is queued or being scanned (jobs waiting for the busy file do not count).
  bool Idle() const;
  // How many jobs wait for the busy file.
  int Waiting() const;
  // The worker's kernel thread id, 0 before it started.
  int WorkerThreadId() const;

 signals:
  void Measured(const TLengthResult& result);
  // The queue ran empty (some jobs may still wait for the busy file).
  void Drained();

 private:
  struct TShared;
  void Deliver();
  std::shared_ptr<TShared> shared_;
};
