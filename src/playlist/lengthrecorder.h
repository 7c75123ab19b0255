#pragma once
// Gives every playlist entry without a length its measured one: asks the background scanner
// (TLengthScanner) for the entries that have no "Length" key, and writes what it finds through
// the playlist file's conditional record (only while the key is still absent and the entry
// still names the measured file), at most one file write a second, each followed by a refresh
// of the shown rows. Failures stay silent: such entries keep showing 0:00.

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QVector>
#include <cstdint>
#include <functional>
#include <memory>

#include "audio/lengthscanner.h"
#include "playlist/playlistfile.h"

class QTimer;

class TLengthRecorder : public QObject {
  Q_OBJECT
 public:
  // fileName: the playlist file, the program directory's "lastplay.dat" when empty.
  explicit TLengthRecorder(const QString& fileName = QString(), QObject* parent = nullptr);
  ~TLengthRecorder() override;

  // The file the player has open (empty for none); asked now and then while work remains.
  void SetBusyFile(std::function<QString()> busyFile);
  // Called after each write that stored a length, to show it.
  void SetRefresh(std::function<void()> refresh);

  // Looks for unmeasured entries on the next turn of the event loop: the refills of one
  // command (a drop refills once per song) make one look.
  void Rescan();
  // Reads the playlist file for unmeasured entries now, off the GUI thread, and hands them to
  // the scanner once read.
  void RescanNow();
  // Writes the lengths found since the last write (the commit timer's handler); within a
  // second of the last write it waits for the rest of that second.
  void Commit();
  // Ends the scanner at once; nothing more is written.
  void Stop();

  // Nothing being read, queued, being scanned, or found and not yet written.
  bool Done() const;
  // Lengths written to the file so far, and the file writes that stored them.
  int Written() const { return written_; }
  int Commits() const { return commits_; }
  TLengthScanner& Scanner() { return scanner_; }

 private:
  struct TReadGate;
  void Scan(uint64_t read, const QVector<TEntryFile>& entries);
  void Take(const TLengthResult& result);
  void PollBusyFile();
  void SyncTimers();

  TPlaylistFile playlist_;
  std::shared_ptr<TReadGate> gate_;
  uint64_t reads_ = 0;     // reads of the file started
  uint64_t readDone_ = 0;  // the newest one whose entries reached the scanner
  TLengthScanner scanner_;
  std::function<QString()> busyFile_;
  std::function<void()> refresh_;
  QVector<TMeasuredLength> found_;
  QTimer* rescanTimer_;
  QTimer* commitTimer_;
  QTimer* busyTimer_;
  QElapsedTimer sinceCommit_;
  int written_ = 0;
  int commits_ = 0;
  bool stopped_ = false;
};
