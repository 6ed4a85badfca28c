// kvil-batch: the engine's command-line front.
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0) {
    std::fprintf(stderr, "usage: kvil-batch --info TASK.dat\n");
    return 2;
  }
  return 2;
}
