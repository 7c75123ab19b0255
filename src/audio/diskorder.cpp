#include "audio/diskorder.h"

#include <fcntl.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QHash>
#include <algorithm>
#include <tuple>

TDiskPlace DiskPlaceOf(const QString& path) {
  TDiskPlace place;
  const QByteArray name = QFile::encodeName(path);
  struct stat st;
  if (path.isEmpty() || ::stat(name.constData(), &st) != 0) return place;
  place.Exists = true;
  place.Device = st.st_dev;
  place.Inode = st.st_ino;
  if (!S_ISREG(st.st_mode) || st.st_size == 0) return place;
  const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return place;
  // The request with room for one extent after it.
  alignas(fiemap) unsigned char request[sizeof(fiemap) + sizeof(fiemap_extent)] = {};
  auto* map = reinterpret_cast<fiemap*>(request);
  map->fm_length = FIEMAP_MAX_OFFSET;
  map->fm_extent_count = 1;
  // Data not yet written out has no place on the disk.
  constexpr uint32_t kNoPlace = FIEMAP_EXTENT_UNKNOWN | FIEMAP_EXTENT_DELALLOC;
  if (::ioctl(fd, FS_IOC_FIEMAP, map) == 0 && map->fm_mapped_extents >= 1 &&
      !(map->fm_extents[0].fe_flags & kNoPlace))
    place.Offset = map->fm_extents[0].fe_physical;
  ::close(fd);
  return place;
}

QVector<int> DiskOrder(const QVector<QString>& paths,
                       const std::function<TDiskPlace(const QString&)>& place,
                       const std::function<bool(const QString&)>& free,
                       const std::function<bool()>& stop) {
  // (group, device rank, offset or folder rank, inode, batch index): group 0 costs no read,
  // 1 has an offset, 2 has none.
  using TKey = std::tuple<int, int, uint64_t, uint64_t, int>;
  QVector<TKey> keys;
  keys.reserve(paths.size());
  QHash<dev_t, int> devices;
  QHash<QString, int> folders;
  // The rank of a device or folder: the order of its first appearance.
  auto rank = [](auto& ranks, const auto& key) {
    auto it = ranks.constFind(key);
    if (it == ranks.constEnd()) it = ranks.insert(key, int(ranks.size()));
    return *it;
  };
  for (int i = 0; i < paths.size(); ++i) {
    if (stop && stop()) {
      // The rest as they came, after what was placed.
      for (int j = i; j < paths.size(); ++j) keys.append({3, 0, 0, 0, j});
      break;
    }
    const TDiskPlace where = place(paths[i]);
    if (!where.Exists || free(paths[i])) {
      keys.append({0, 0, 0, 0, i});
      continue;
    }
    const int deviceRank = rank(devices, where.Device);
    if (where.Offset) {
      keys.append({1, deviceRank, *where.Offset, uint64_t(where.Inode), i});
    } else {
      const QString folder = paths[i].left(paths[i].lastIndexOf('/'));
      const int folderRank = rank(folders, folder);
      keys.append({2, deviceRank, uint64_t(folderRank), uint64_t(where.Inode), i});
    }
  }
  std::sort(keys.begin(), keys.end());
  QVector<int> order;
  order.reserve(keys.size());
  for (const TKey& key : keys) order.append(std::get<4>(key));
  return order;
}
