// Replays fuzz inputs (files, or every file in the folders given) through a
// fuzz target without libFuzzer, so the corpus runs as an ordinary test.

#include <dirent.h>
#include <stdint.h>
#include <stdio.h>
#include <sys/stat.h>

#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

int replay_file(const std::string& path) {
  FILE* f = fopen(path.c_str(), "rb");
  if (f == nullptr) {
    fprintf(stderr, "can't read %s\n", path.c_str());
    return 0;
  }
  std::vector<uint8_t> bytes;
  uint8_t buffer[65536];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, f)) > 0)
    bytes.insert(bytes.end(), buffer, buffer + got);
  fclose(f);
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  int replayed = 0;
  for (int i = 1; i < argc; ++i) {
    struct stat info;
    if (stat(argv[i], &info) == 0 && S_ISDIR(info.st_mode)) {
      DIR* dir = opendir(argv[i]);
      while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.')
          replayed += replay_file(std::string(argv[i]) + "/" + entry->d_name);
      }
      closedir(dir);
    } else {
      replayed += replay_file(argv[i]);
    }
  }
  printf("replayed %d inputs, all properties held\n", replayed);
  return replayed > 0 ? 0 : 1;
}
