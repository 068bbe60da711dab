#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) {
      std::puts("usage: vzDevSim --port P [--devices N] [--state DIR] [--model ipc|dvr]");
      return 0;
    }
  }
  std::fputs("vzDevSim: the device protocol is not served yet\n", stderr);
  return 1;
}
