// kvilcb-index DIR: reads the components tables of DIR, reports damaged rows and
// rewrites Class.IDX and Compons.IDX when they are stale.  Used after editing the
// shipped tables in components/data.
#include <cstdio>
#include <string>
#include <vector>

#include "components/catalog.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: kvilcb-index DIRECTORY\n");
    return 2;
  }
  kvilcb::Catalog catalog;
  std::vector<std::string> messages;
  const bool read = kvilcb::LoadCatalog(argv[1], catalog, messages);
  for (const auto& m : messages) std::fprintf(stderr, "%s\n", m.c_str());
  if (!read) return 1;
  std::string message;
  if (!kvilcb::RefreshIndexes(argv[1], catalog, message)) {
    std::fprintf(stderr, "%s\n", message.c_str());
    return 1;
  }
  std::printf("%zu classes, %zu components\n", catalog.classes.size(), catalog.components.size());
  return messages.empty() ? 0 : 1;
}
