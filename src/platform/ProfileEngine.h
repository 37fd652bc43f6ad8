// Private-profile (INI) files in portable C++: the semantics of
// GetPrivateProfileStringA / WritePrivateProfileStringA that Quillan relies on.
//
// Reading, as kernel32 reads hand-edited files: CR, LF and CR LF each end a
// line. A header is a "[" line with a "]", named up to its last "]"; a "["
// line without one is ignored. Section and key names are trimmed and matched
// ignoring ASCII case; values are trimmed and lose one pair of matching outer
// quotes. With duplicate sections or keys the first occurrence answers. Lines
// without "=" are not keys; there is no comment syntax (";k=v" is the key
// ";k", left out of listings as kernel32 does). Lines above the first header
// form a section without a name. A UTF-8 byte-order mark is skipped.
// A file of 4 GiB or more is treated as one that cannot be read, and a
// change that would make one is refused.
//
// Writing keeps every other byte of the file, keeps its line-end style and
// replaces the file atomically (temporary file in the same folder, flushed to
// disk unless the file system orders data before renames, renamed over the
// original), keeping its mode and owner. A refused write leaves the file
// unchanged. A write replaces the file only while it is still the one the
// write read (the same file, the same content); when another program changed
// it meanwhile, the write is made again on the new content, a few times at
// most, and else refused, so another writer's change is never lost.
//
// On POSIX a write follows the file's own symbolic link only when the
// effective user owns the link (a link met on the way: also when root owns
// it), and goes only into a folder and over a file the effective user owns,
// so a process with more rights than a folder's owner never writes where
// that owner points it. The temporary file has no name until it is complete
// (O_TMPFILE); where it must have one (Windows, or a file system without
// unnamed files), its name carries the host and process, and a later write
// removes those of dead processes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace profile {

constexpr std::size_t kValueBufferSize = 2048;    // a read yields at most 2047 characters
constexpr std::size_t kKeyListBufferSize = 16384;  // names + zeros + final zero

// The name a temporary file of `fileName` gets when it must have one,
// for the process `processId` on this host (with a random tail).
std::string TemporaryFileName(const std::string& fileName, long processId);

// The largest file read or written: offsets into the text have 32 bits.
// Tests lower it instead of making files of 4 GiB.
std::size_t& MaxFileSize();

#ifndef _WIN32
// Whether a file system of this statfs type writes a file's data before a
// rename that replaces another file commits.
bool RenameOrdersDataOn(unsigned long fileSystemType);

// The steps by which a replacement reaches the disk: whether the file system
// writes a file's data before a rename over another file (the flush is then
// skipped), the flush, and the rename in the file's folder. Tests replace
// them to watch their order or to answer for another file system.
struct DiskSteps {
  std::function<bool(int fd)> renameOrdersData;
  std::function<int(int fd)> flush;
  std::function<int(int folder, const char* from, const char* to)> rename;
};
DiskSteps& CurrentDiskSteps();
#endif

class ProfileEngine {
 public:
  ProfileEngine();
  ~ProfileEngine();
  ProfileEngine(const ProfileEngine&) = delete;
  ProfileEngine& operator=(const ProfileEngine&) = delete;

  std::string Read(const std::string& path, const std::string& section, const std::string& key,
                   const std::string& def);
  // Key names in file order, as a 16384-byte buffer would hold them.
  std::vector<std::string> ListKeys(const std::string& path, const std::string& section);
  bool Write(const std::string& path, const std::string& section, const std::string& key,
             const std::string& value);
  // Removes every section of that name with all its lines. A missing file or
  // section is no failure.
  bool EraseSection(const std::string& path, const std::string& section);

  // Until the matching EndBatch, changes of `path` are made to the content
  // held here, which reads see, and EndBatch replaces the file once: a
  // section of thousands of keys costs one file write, not one per key. The
  // first change checks that the file could be replaced, so a refused write
  // still fails at that step.
  void BeginBatch(const std::string& path);
  // With `commit`, writes the held content when it changed; false when that
  // write was refused, the file then being unchanged. Without `commit` the
  // held changes are dropped. Nested batches end with the outermost.
  bool EndBatch(const std::string& path, bool commit);

  // Why the last refused write or batch was refused, for a message after
  // "Unable to write to <file>"; empty when the file system refused it.
  const std::string& RefusalReason() const { return refusalReason_; }

  // Forget parsed files (they are validated on every use anyway).
  void ClearCache();
  // How often a file was actually parsed whole (also a batch's content after
  // an edit that was not an append); lets tests see the cache work.
  std::uint64_t ParseCount() const { return parseCount_; }

  struct Parsed;

 private:
  struct Entry;
  struct Batch;
  struct FileState;
  struct Op;
  Batch* BatchFor(const std::string& path);
  // Gives the batch the file's content on its first use; false when the
  // path cannot be read as a file.
  bool LoadBatch(Batch& batch);
  // `path` as given (its links are checked on POSIX), `target` with them
  // followed.
  static bool CanReplace(const std::string& path, const std::string& target);
  // The parsed file, from the cache when the file has not changed; nullptr
  // when the path cannot be read as a file.
  const Parsed* Load(const std::string& path, bool* isMissing);
  enum class Outcome { Replaced, Refused, Changed };
  // Replaces the file with `data` if it is still `expected`.
  Outcome Replace(const std::string& path, const std::string& target, std::string& data,
                  const FileState& expected);
  // Applies `op` to the open batch of `path`.
  bool Apply(const std::string& path, const Op& op);

  std::map<std::string, std::unique_ptr<Entry>> cache_;
  std::map<std::string, std::unique_ptr<Batch>> batches_;  // by path as given
  std::uint64_t parseCount_ = 0;
  std::string refusalReason_;
};

}  // namespace profile
