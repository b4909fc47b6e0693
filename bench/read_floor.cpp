// The floor for a scan of the pin folder: lists a folder and reads every
// "*.lnk" file in it whole (open, fstat, read, close), parsing nothing and
// printing nothing. Usage: read_floor FOLDER
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: read_floor FOLDER\n");
    return 2;
  }
  DIR* directory = opendir(argv[1]);
  if (directory == nullptr) return 1;
  std::vector<char> buffer;
  std::size_t total = 0;
  while (const dirent* entry = readdir(directory)) {
    const std::size_t length = std::strlen(entry->d_name);
    if (length < 4 || strcasecmp(entry->d_name + length - 4, ".lnk") != 0) continue;
    const std::string path = std::string(argv[1]) + "/" + entry->d_name;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat status;
    if (fstat(fd, &status) == 0) {
      buffer.resize(static_cast<std::size_t>(status.st_size) + 1);
      const ssize_t got = read(fd, buffer.data(), buffer.size());
      if (got > 0) total += static_cast<std::size_t>(got);
    }
    close(fd);
  }
  closedir(directory);
  return total == 0 ? 1 : 0;
}
