// Damaged component tables, many of them: a seeded mutation run of the shipped Class.dat
// and Compons.dat through the functions the picker calls (load, search, save, reload).
// Whatever the bytes, the catalogue holds only components the picker would accept,
// every number one the program can carry, and a save reads back as it was.  Bounded and
// deterministic, so that it runs in every test run and under the sanitizers.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "components/catalog.h"
#include "support/mutator.h"

namespace kvilcb {
namespace {

namespace fs = std::filesystem;

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void Write(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

TEST(CatalogFuzz, DamagedTablesLeaveOnlyUsableComponentsThatSaveAsTheyWere) {
  const std::string classes = Read(std::string(KVIL_COMPONENTS_DATA_DIR) + "/Class.dat");
  const std::string components = Read(std::string(KVIL_COMPONENTS_DATA_DIR) + "/Compons.dat");
  ASSERT_FALSE(classes.empty());
  ASSERT_FALSE(components.empty());
  const fs::path dir = fs::current_path() / "components_fuzz";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string d = dir.string();

  constexpr int kRounds = 150;
  kvil::testing_fuzz::Mutator m(20261212);
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const std::size_t which = 1 + m.Below(3);
    Write(d + "/Class.dat", which & 1 ? m.Text(classes) : classes);
    Write(d + "/Compons.dat", which & 2 ? m.Text(components) : components);
    Catalog catalog;
    std::vector<std::string> messages;
    if (!LoadCatalog(d, catalog, messages)) {
      EXPECT_FALSE(messages.empty());
      continue;
    }
    for (std::size_t i = 0; i < catalog.components.size(); ++i) {
      const Component& c = catalog.components[i];
      EXPECT_EQ(ValidateComponent(catalog, c, static_cast<int>(i)), "") << c.name;
      EXPECT_LE(std::fabs(c.enthalpy), std::numeric_limits<float>::max()) << c.name;
    }
    Search(catalog, "", "nitrate");
    Search(catalog, catalog.classes.empty() ? "" : catalog.classes[0].name, "1");

    // Saved and read back: the same components, to the last bit of every number.
    std::string message;
    ASSERT_TRUE(SaveCatalog(d, catalog, message)) << message;
    Catalog again;
    std::vector<std::string> messagesAgain;
    ASSERT_TRUE(LoadCatalog(d, again, messagesAgain));
    ASSERT_EQ(again.components.size(), catalog.components.size());
    for (std::size_t i = 0; i < again.components.size(); ++i) {
      EXPECT_EQ(again.components[i].name, catalog.components[i].name);
      EXPECT_EQ(again.components[i].enthalpy, catalog.components[i].enthalpy);
      EXPECT_EQ(again.components[i].density, catalog.components[i].density);
    }
    EXPECT_TRUE(IndexIsCurrent(d + "/Compons.dat", d + "/Compons.IDX"));
    if (HasFailure()) break;
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace kvilcb
