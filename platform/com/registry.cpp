// The registry file: read whole on each call; changed as one transaction
// under a file lock, by writing a temporary file beside it and renaming it
// over the old one.
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "platform/com/registry_text.h"
#include "platform/com/twcom.hpp"

namespace tw::com {
namespace {

using detail::RegistryMap;

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return fd_; }
  // Closes now and reports whether the close succeeded.
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

std::string HomeDirectory() {
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') return home;
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr) {
    return found->pw_dir;
  }
  return {};
}

std::string ParentDirectory(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// mkdir -p; false when a component cannot be made or is not a directory.
bool MakeDirectories(const std::string& directory) {
  struct stat info {};
  if (::stat(directory.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
  if (errno != ENOENT) return false;
  const std::string parent = ParentDirectory(directory);
  if (parent != directory && !MakeDirectories(parent)) return false;
  if (::mkdir(directory.c_str(), 0755) == 0) return true;
  return errno == EEXIST && ::stat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// S_OK, S_FALSE when there is no file yet (nothing added), E_FAIL when it
// cannot be read. At most kMaxFileBytes are read, up to the last whole line.
HRESULT ReadRegistryFile(const std::string& path, RegistryMap* entries) {
  Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.Get() < 0) return errno == ENOENT ? S_FALSE : E_FAIL;
  struct stat info {};
  if (::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return E_FAIL;
  std::string text;
  char chunk[65536];
  while (text.size() <= detail::kMaxFileBytes) {
    const ssize_t got = ::read(file.Get(), chunk, sizeof chunk);
    if (got < 0) {
      if (errno == EINTR) continue;
      return E_FAIL;
    }
    if (got == 0) break;
    text.append(chunk, static_cast<std::size_t>(got));
  }
  if (text.size() > detail::kMaxFileBytes) {
    text.resize(detail::kMaxFileBytes);
    const std::size_t lastNewline = text.rfind('\n');
    text.resize(lastNewline == std::string::npos ? 0 : lastNewline + 1);
  }
  detail::DecodeRegistry(text, entries);
  return S_OK;
}

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
    if (wrote < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(wrote);
  }
  return true;
}

// Writes `text` to a new file beside `path` and renames it over `path`.
bool ReplaceFile(const std::string& path, const std::string& text) {
  std::string temporary = path + ".XXXXXX";
  Descriptor file(::mkostemp(temporary.data(), O_CLOEXEC));
  if (file.Get() < 0) return false;
  const bool written = ::fchmod(file.Get(), 0644) == 0 && WriteAll(file.Get(), text) && ::fsync(file.Get()) == 0;
  if (!file.Close() || !written || ::rename(temporary.c_str(), path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  // Makes the rename itself durable; a failure here changes nothing seen.
  Descriptor directory(::open(ParentDirectory(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (directory.Get() >= 0) ::fsync(directory.Get());
  return true;
}

bool ValidUpdate(const RegistryUpdate& update) {
  for (const auto& tree : update.removeTrees) {
    if (tree.empty()) return false;
  }
  for (const auto& entry : update.set) {
    if (entry.key.empty() || entry.key.size() > detail::kMaxKeyBytes) return false;
    if (detail::EncodeLine(entry.key, entry.value).size() > detail::kMaxLineBytes) return false;
  }
  return true;
}

HRESULT Apply(const RegistryUpdate& update) {
  const std::string path = RegistryPath();
  if (path.empty() || !MakeDirectories(ParentDirectory(path))) return E_FAIL;
  // Writers take the lock; readers need none, since the file is replaced whole.
  Descriptor lock(::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
  if (lock.Get() < 0) return E_FAIL;
  while (::flock(lock.Get(), LOCK_EX) != 0) {
    if (errno != EINTR) return E_FAIL;
  }
  RegistryMap entries;
  if (FAILED(ReadRegistryFile(path, &entries))) return E_FAIL;
  for (const auto& tree : update.removeTrees) {
    std::erase_if(entries, [&](const auto& entry) { return detail::KeyInTree(entry.first, tree); });
  }
  for (const auto& entry : update.set) {
    entries.erase(entry.key);
    entries.emplace(entry.key, entry.value);
  }
  return ReplaceFile(path, detail::EncodeRegistry(entries)) ? S_OK : E_FAIL;
}

}  // namespace

TWCOM_API std::string RegistryPath() {
  if (const char* explicitPath = std::getenv("TIDEWIRE_COM_REGISTRY");
      explicitPath != nullptr && explicitPath[0] != '\0') {
    return explicitPath;
  }
  std::string base;
  if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/') {
    base = data;
  } else {
    const std::string home = HomeDirectory();
    if (home.empty()) return {};
    base = home + "/.local/share";
  }
  return base + "/tidewire/com-registry";
}

TWCOM_API HRESULT RegistryRead(std::string_view key, std::string* value) {
  if (value == nullptr) return E_POINTER;
  try {
    const std::string path = RegistryPath();
    if (path.empty()) return E_FAIL;
    RegistryMap entries;
    if (FAILED(ReadRegistryFile(path, &entries))) return E_FAIL;
    const auto found = entries.find(key);
    if (found == entries.end()) return S_FALSE;
    *value = found->second;
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

TWCOM_API HRESULT RegistryList(std::string_view prefix, std::vector<RegistryEntry>* entries) {
  if (entries == nullptr) return E_POINTER;
  try {
    const std::string path = RegistryPath();
    if (path.empty()) return E_FAIL;
    RegistryMap all;
    if (FAILED(ReadRegistryFile(path, &all))) return E_FAIL;
    std::vector<RegistryEntry> found;
    for (const auto& [key, value] : all) {
      if (detail::KeyHasPrefix(key, prefix)) found.push_back({key, value});
    }
    *entries = std::move(found);
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

TWCOM_API HRESULT RegistryApply(const RegistryUpdate& update) {
  try {
    if (!ValidUpdate(update)) return E_INVALIDARG;
    return Apply(update);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace tw::com
