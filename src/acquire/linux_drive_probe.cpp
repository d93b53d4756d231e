#include "acquire/linux_drive_probe.h"

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>

#include "core/text.h"

namespace fs = std::filesystem;

namespace sorvane {
namespace {

std::string ReadSmallFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return "";
  std::ostringstream out;
  out << in.rdbuf();
  return std::string(TrimWhitespace(out.str()));
}

std::string Unescape(std::string_view s) {
  auto octal = [](char c) { return c >= '0' && c <= '7'; };
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size() && octal(s[i + 1]) && octal(s[i + 2]) && octal(s[i + 3])) {
      out +=
          static_cast<char>(((s[i + 1] - '0') << 6) | ((s[i + 2] - '0') << 3) | (s[i + 3] - '0'));
      i += 3;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::vector<std::string_view> SplitBlanks(std::string_view line) {
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) out.push_back(line.substr(start, i - start));
  }
  return out;
}

bool IsOpticalFileSystem(std::string_view type) { return type == "iso9660" || type == "udf"; }

std::string BaseName(std::string_view source) {
  size_t slash = source.rfind('/');
  return std::string(slash == std::string_view::npos ? source : source.substr(slash + 1));
}

}  // namespace

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
  std::vector<MountEntry> mounts;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::vector<std::string_view> f = SplitBlanks(text.substr(pos, end - pos));
    pos = end + 1;
    // id parent major:minor root mount-point options [optional...] - type source super
    auto dash = std::find(f.begin(), f.end(), std::string_view("-"));
    if (f.size() < 6 || dash == f.end() || dash - f.begin() < 6 || f.end() - dash < 3) continue;
    if (f[2].find(':') == std::string_view::npos) continue;
    MountEntry m;
    m.device_number = std::string(f[2]);
    m.fs_root = Unescape(f[3]);
    m.mount_point = Unescape(f[4]);
    m.fs_type = Unescape(dash[1]);
    m.source = Unescape(dash[2]);
    mounts.push_back(std::move(m));
  }
  return mounts;
}

std::vector<BlockDevice> ReadBlockDevices(const fs::path& sys_block) {
  std::vector<BlockDevice> devices;
  std::error_code ec;
  fs::directory_iterator it(sys_block, ec);
  if (ec) return devices;
  for (fs::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) break;
    const fs::path dir = it->path();
    BlockDevice d;
    d.name = dir.filename().string();
    d.device_number = ReadSmallFile(dir / "dev");
    d.removable = ReadSmallFile(dir / "removable") == "1";
    // SCSI peripheral type 5 is a CD/DVD drive, whatever the driver calls it.
    d.optical = d.name.starts_with("sr") || ReadSmallFile(dir / "device" / "type") == "5";
    std::error_code sub_ec;
    fs::directory_iterator sub(dir, sub_ec);
    if (!sub_ec) {
      for (fs::directory_iterator sub_end; sub != sub_end; sub.increment(sub_ec)) {
        if (sub_ec) break;
        std::error_code e;
        if (fs::exists(sub->path() / "partition", e)) {
          d.partitions.push_back(
              {sub->path().filename().string(), ReadSmallFile(sub->path() / "dev")});
        }
      }
    }
    std::sort(d.partitions.begin(), d.partitions.end(),
              [](const auto& a, const auto& b) { return a.name < b.name; });
    devices.push_back(std::move(d));
  }
  std::sort(devices.begin(), devices.end(),
            [](const BlockDevice& a, const BlockDevice& b) { return a.name < b.name; });
  return devices;
}

LinuxDriveProbe::LinuxDriveProbe(fs::path root) : root_(std::move(root)) {}

std::string LinuxDriveProbe::MapMountPoint(const std::string& mount_point) const {
  if (root_ == fs::path("/")) return mount_point;
  return (root_ / fs::path(mount_point).relative_path()).lexically_normal().string();
}

std::vector<LinuxDriveProbe::Found> LinuxDriveProbe::Scan() {
  std::vector<MountEntry> mounts =
      ParseMountInfo(ReadSmallFile(root_ / "proc" / "self" / "mountinfo"));
  std::vector<BlockDevice> devices = ReadBlockDevices(root_ / "sys" / "block");

  std::vector<Found> found;
  std::set<size_t> claimed;  // mounts already given to a drive
  // The mount of a device node, the whole file system winning over a part of it
  // mounted elsewhere (a bind). Every mount of the node is claimed, so a second
  // view of the same disc is not listed as a drive of its own.
  auto mount_of = [&](const std::string& node, const std::string& number) -> int {
    int best = -1;
    for (size_t i = 0; i < mounts.size(); ++i) {
      const MountEntry& m = mounts[i];
      bool same = (!number.empty() && m.device_number == number) ||
                  (m.source.starts_with("/dev/") && BaseName(m.source) == node);
      if (!same) continue;
      claimed.insert(i);
      if (best < 0 || (m.fs_root == "/" && mounts[best].fs_root != "/")) best = static_cast<int>(i);
    }
    return best;
  };

  for (const BlockDevice& d : devices) {
    if (!d.optical && !d.removable) continue;
    const int type = d.optical ? kDriveCdRom : kDriveRemovable;
    std::vector<std::pair<std::string, std::string>> nodes{{d.name, d.device_number}};
    for (const auto& p : d.partitions) nodes.push_back({p.name, p.device_number});
    bool any = false;
    for (const auto& [node, number] : nodes) {
      int m = mount_of(node, number);
      if (m < 0) continue;
      any = true;
      found.push_back({Drive{type, MapMountPoint(mounts[m].mount_point), "/dev/" + node}, d.name,
                       true, mounts[m].mount_point});
    }
    if (!any) {
      found.push_back(
          {Drive{type, "/dev/" + d.name, "/dev/" + d.name}, d.name, false, "/dev/" + d.name});
    }
  }
  // A disc image or a drive this machine does not list under /sys/block.
  for (size_t i = 0; i < mounts.size(); ++i) {
    if (claimed.count(i) > 0 || !IsOpticalFileSystem(mounts[i].fs_type)) continue;
    const MountEntry& m = mounts[mount_of(BaseName(mounts[i].source), mounts[i].device_number)];
    found.push_back({Drive{kDriveCdRom, MapMountPoint(m.mount_point), m.source},
                     "mount:" + m.mount_point, true, m.mount_point});
  }
  // Ordered by the machine's own paths, so a recorded machine read from under
  // another folder lists its drives in the order the machine itself would.
  std::stable_sort(found.begin(), found.end(),
                   [](const Found& a, const Found& b) { return a.place < b.place; });
  for (const Found& f : found) disk_of_root_[f.drive.root] = f.disk;
  return found;
}

std::vector<Drive> LinuxDriveProbe::Drives() {
  std::vector<Drive> drives;
  for (Found& f : Scan()) drives.push_back(std::move(f.drive));
  return drives;
}

MediumStatus LinuxDriveProbe::QueryMedium(const std::string& root) {
  std::vector<Found> now = Scan();
  auto readable = [](const std::string& dir) {
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    return !ec;
  };
  MediumStatus status;
  for (const Found& f : now) {
    if (f.mounted && f.drive.root == root) {
      status.ready = readable(root);
      if (status.ready) status.root = root;
      return status;
    }
  }
  auto known = disk_of_root_.find(root);
  if (known == disk_of_root_.end()) return status;
  const std::string& disk = known->second;
  bool present = false;
  for (const Found& f : now) {
    if (f.disk != disk) continue;
    present = true;
    if (f.mounted && readable(f.drive.root)) {
      status.ready = true;
      status.root = f.drive.root;
      return status;
    }
  }
  status.device_not_ready = present;
  return status;
}

}  // namespace sorvane
