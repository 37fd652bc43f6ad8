// One settings file per fuzzer process (fuzzers run in-process), in a
// memory-backed folder when there is one, removed when the process ends.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

inline std::string& ScratchPath() {
  static std::string path;
  return path;
}

// Creates the folder and names the file in it; call from LLVMFuzzerInitialize.
inline void MakeScratchFile(const char* fileName) {
  // Memory-backed when possible: every write is flushed to disk.
  char shm[] = "/dev/shm/quillan-fuzz-XXXXXX";
  char tmp[] = "/tmp/quillan-fuzz-XXXXXX";
  const char* dir = mkdtemp(shm);
  if (dir == nullptr) dir = mkdtemp(tmp);
  if (dir == nullptr) std::abort();
  ScratchPath() = std::string(dir) + "/" + fileName;
  static const std::string folder = dir;
  std::atexit([] {
    std::remove(ScratchPath().c_str());
    rmdir(folder.c_str());
  });
}

// Replaces the scratch file's content with `bytes`.
inline void WriteScratchFile(const std::string& bytes) {
  std::FILE* f = std::fopen(ScratchPath().c_str(), "wb");
  if (f == nullptr) std::abort();
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
  std::fclose(f);
}
