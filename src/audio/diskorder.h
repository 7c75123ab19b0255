#pragma once
// The order in which a batch of files is read with the fewest disk seeks.
//
// A length scan reads two small pieces of each file, its head and its tail. Taken in playlist
// or name order (or in a folder's listing order, which ext4 keeps in hash order) the disk jumps
// back and forth between files; taken in the order their data lies on the disk it sweeps once
// across, one file after the next. So:
// 1. files that cost no read (missing, or answered from memory) come first;
// 2. then device by device, in the order the devices first appear;
// 3. on a device, by the disk offset of each file's first byte (the FIEMAP ioctl). Files of one
//    folder are usually written together and lie together, so folders stay together;
// 4. where the file system gives no offsets (network shares, FUSE), folder by folder in the order
//    the folders first appear, and by inode number within a folder: file systems hand out
//    inodes, and place data, in the order files were created.
// Ties keep the batch's own order.

#include <sys/types.h>

#include <QString>
#include <QVector>
#include <cstdint>
#include <functional>
#include <optional>

struct TDiskPlace {
  bool Exists = false;
  dev_t Device = 0;
  ino_t Inode = 0;
  std::optional<uint64_t> Offset;  // of the file's first byte on the device
};

// Where path lies: stat and FIEMAP, no data read.
TDiskPlace DiskPlaceOf(const QString& path);

// The order (indexes into paths) in which to read them. place says where a path lies; free says
// whether it can be answered without reading. stop, when it turns true, ends the look-ups: the
// rest keep their order.
QVector<int> DiskOrder(const QVector<QString>& paths,
                       const std::function<TDiskPlace(const QString&)>& place,
                       const std::function<bool(const QString&)>& free,
                       const std::function<bool()>& stop = {});
