#include "bridge/app/window_loader.h"

#include <dlfcn.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace tw {

LoadedWindow LoadWindow(const std::string& moduleDirectory, const std::vector<std::string>& helpDirectories) {
  LoadedWindow loaded;
  const std::string path = moduleDirectory + "/" + kWindowModuleFile;
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    loaded.note = "no window: " + path + " is not installed, so the log goes to standard output";
    return loaded;
  }
  void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    const char* why = ::dlerror();
    loaded.note = std::string("no window: ") + (why != nullptr ? why : path) + ", so the log goes to standard output";
    return loaded;
  }
  void* entry = ::dlsym(module, kCreateWindowViewName);
  if (entry == nullptr) {
    loaded.note = "no window: " + path + " has no " + kCreateWindowViewName + ", so the log goes to standard output";
    return loaded;
  }
  CreateWindowViewFunction create = nullptr;
  static_assert(sizeof create == sizeof entry);
  std::memcpy(&create, &entry, sizeof create);

  std::vector<const char*> directories;
  directories.reserve(helpDirectories.size());
  for (const std::string& directory : helpDirectories) directories.push_back(directory.c_str());
  // No display that can be opened: the console, as without a display name.
  loaded.view.reset(create(directories.data(), directories.size()));
  return loaded;
}

std::string ProgramDirectory() {
  char path[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return ".";
  const std::string text(path, static_cast<std::size_t>(length));
  const std::size_t slash = text.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : text.substr(0, slash);
}

}  // namespace tw
