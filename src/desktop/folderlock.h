#pragma once
// An exclusive lock named by a file, held as long as this object (and its process) lives.
// flock(2) on the file: the system lets go when the holder dies, so a lock is never stale,
// and taking it writes nothing that must reach the disk (a lock file synced to disk costs a
// flush at every start). The file names its holder, in the layout Qt's lock files use
// (process id, program, host), and goes when the lock is let go.

#include <QString>

class TFolderLock {
 public:
  enum class TResult { Locked, Held, Unavailable };

  explicit TFolderLock(QString path);
  ~TFolderLock();
  TFolderLock(const TFolderLock&) = delete;
  TFolderLock& operator=(const TFolderLock&) = delete;

  // Takes the lock, waiting up to waitMs while someone else holds it. Unavailable: no lock
  // can be had at this path (a folder that takes no files, a link in the file's place, a
  // file system without locks).
  TResult TryLock(int waitMs = 0);
  bool IsLocked() const { return fd_ >= 0; }
  void Unlock();

  // Who holds it, as its file says: the process id, with " on <host>" when that is another
  // machine; empty when the file names nobody.
  QString Holder() const;

 private:
  QString path_;
  int fd_ = -1;
};
