#include "FuseMount.h"

#include <cstdlib>
#include <fstream>

#include <sys/mount.h>
#include <sys/vfs.h>
#include <unistd.h>

#include "RunProcess.h"

namespace quillan_test {

namespace {
constexpr long kFuseMagic = 0x65735546;

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}
}  // namespace

std::string FindProgram(const std::string& name) {
  std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
  path += ":/usr/sbin:/sbin:/usr/bin:/bin";
  for (std::size_t start = 0; start <= path.size();) {
    std::size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    const std::string candidate = path.substr(start, end - start) + "/" + name;
    if (end > start && ::access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return {};
}

FuseMount::FuseMount(std::vector<std::string> command, std::string mountPoint)
    : mountPoint_(std::move(mountPoint)) {
  if (::access("/dev/fuse", R_OK | W_OK) != 0) {
    why_ = "no /dev/fuse here";
    return;
  }
  const std::string program = FindProgram(command.front());
  if (program.empty()) {
    why_ = command.front() + " is not installed";
    return;
  }
  command.erase(command.begin());
  const ProcessResult r = RunProcess(program, command);
  struct statfs fsInfo {};
  mounted_ = r.exitStatus == 0 && ::statfs(mountPoint_.c_str(), &fsInfo) == 0 &&
             static_cast<long>(fsInfo.f_type) == kFuseMagic;
  if (!mounted_) why_ = program + " could not mount: " + Trimmed(r.err);
}

FuseMount::~FuseMount() {
  if (mounted_ && ::umount2(mountPoint_.c_str(), 0) != 0) {
    const std::string fusermount = FindProgram("fusermount3");
    if (!fusermount.empty()) RunProcess(fusermount, {"-u", "-z", mountPoint_});
  }
  if (!afterwards_.empty()) {
    const std::string program = FindProgram(afterwards_.front());
    afterwards_.erase(afterwards_.begin());
    if (!program.empty()) RunProcess(program, afterwards_);
  }
}

ExfatMount::ExfatMount(const std::string& image, const std::string& mountPoint, int megabytes) {
  const std::string mkfs = FindProgram("mkfs.exfat"), losetup = FindProgram("losetup");
  if (FindProgram("mount.exfat-fuse").empty() || mkfs.empty() || losetup.empty()) {
    why_ = "exfat-fuse, exfatprogs or losetup is not installed";
    return;
  }
  std::ofstream(image).close();
  if (::truncate(image.c_str(), static_cast<off_t>(megabytes) << 20) != 0 ||
      RunProcess(mkfs, {image}).exitStatus != 0) {
    why_ = "cannot make an exFAT image";
    return;
  }
  // exfat-fuse run by root wants a block device.
  const ProcessResult loop = RunProcess(losetup, {"-f", "--show", image});
  const std::string device = Trimmed(loop.out);
  if (loop.exitStatus != 0 || device.empty()) {
    why_ = "no loop device here: " + Trimmed(loop.err);
    return;
  }
  mount_ = std::make_unique<FuseMount>(std::vector<std::string>{"mount.exfat-fuse", device, mountPoint},
                                       mountPoint);
  mount_->Afterwards({"losetup", "-d", device});
}

}  // namespace quillan_test
