// The components catalogue: reading damaged tables, atomic saving with fresh indexes,
// validation and search.
#include "components/catalog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/stat.h>

namespace kvilcb {
namespace {

namespace fs = std::filesystem;

std::string Scratch(const std::string& name) {
  const fs::path dir = fs::current_path() / ("components_" + name);
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir.string();
}

void Write(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

const char* kClasses = "class\tdescription\torigin\nOxidizers\tsolid\tshipped\nMine\t\tuser\n";
const char* kHeader =
    "class\tname\tsynonyms\tformula\tenthalpy kJ/kg\tdensity g/cm3\tsource\torigin\n";

TEST(ComponentCatalog, DamagedRowsAreNamedByFileAndLineAndTheRestIsKept) {
  const std::string dir = Scratch("damaged");
  Write(dir + "/Class.dat", kClasses);
  Write(
      dir + "/Compons.dat",
      std::string(kHeader) +
          "Oxidizers\tAmmonium perchlorate\tAP; NH4ClO4\tNH4ClO4\t-2517.40\t1.95\tNASA\tshipped\r\n"
          "Oxidizers\tBroken\t\tNH4ClO4\t-25x\t1.95\tNASA\tshipped\n"
          "Oxidizers\tGrouped\t\tSr(NO3)2\t-4622\t2.99\tNBS\tshipped\n"
          "Nowhere\tOrphan\t\tC\t0\t2\tx\tuser\n"
          "Oxidizers\tammonium PERCHLORATE\t\tNH4ClO4\t1\t1\tx\tuser\n"
          "Oxidizers\tShort\tC\n"
          "Mine\tHeavy gas\t\tXe\t0\t0\tx\tuser\n"
          "Mine\tUnobtainium\t\tUo2\t0\t1\tx\tuser\n"
          "Mine\tMy fuel\tmf\tC10H16\t-901.39\t0.94\tmeasured\tuser\n");
  Catalog catalog;
  std::vector<std::string> messages;
  ASSERT_TRUE(LoadCatalog(dir, catalog, messages));
  ASSERT_EQ(catalog.components.size(), 2u);
  EXPECT_EQ(catalog.components[0].name, "Ammonium perchlorate");
  EXPECT_DOUBLE_EQ(catalog.components[0].enthalpy, -2517.40);
  EXPECT_FALSE(catalog.components[0].user);
  EXPECT_TRUE(catalog.components[1].user);
  EXPECT_EQ(catalog.components[1].line, 10);
  const std::vector<std::string> expected = {
      "Compons.dat, line 3: unreadable enthalpy '-25x'",
      "Compons.dat, line 4: the formula holds the character '(' (only element symbols and numbers)",
      "Compons.dat, line 5: unknown class Nowhere",
      "Compons.dat, line 6: the name ammonium PERCHLORATE is used already",
      "Compons.dat, line 7: 8 fields expected, 3 found",
      "Compons.dat, line 8: the density must be positive",
      "Compons.dat, line 9: unknown element Uo"};
  EXPECT_EQ(messages, expected);

  // Saving keeps the damaged rows as they were, for a repair by hand.
  std::string message;
  ASSERT_TRUE(SaveCatalog(dir, catalog, message)) << message;
  const std::string saved = Read(dir + "/Compons.dat");
  EXPECT_NE(saved.find("Oxidizers\tBroken\t\tNH4ClO4\t-25x\t1.95\tNASA\tshipped\n"),
            std::string::npos);
  EXPECT_NE(saved.find("Oxidizers\tShort\tC\n"), std::string::npos);
  Catalog again;
  std::vector<std::string> messagesAgain;
  ASSERT_TRUE(LoadCatalog(dir, again, messagesAgain));
  EXPECT_EQ(again.components.size(), 2u);
  EXPECT_EQ(messagesAgain.size(), messages.size());

  // A table without its header is refused as a whole.
  Write(dir + "/Class.dat", "Oxidizers\tsolid\tshipped\n");
  messages.clear();
  EXPECT_FALSE(LoadCatalog(dir, catalog, messages));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Class.dat, line 1: the header row is missing or damaged");
  messages.clear();
  EXPECT_FALSE(LoadCatalog(dir + "/missing", catalog, messages));
}

TEST(ComponentCatalog, SavingRoundTripsAndKeepsIndexesFresh) {
  const std::string dir = Scratch("save");
  Write(dir + "/Class.dat", kClasses);
  Write(dir + "/Compons.dat",
        std::string(kHeader) +
            "Oxidizers\tPotassium nitrate\tsaltpetre; KNO3\tKNO3\t-4886.10\t2.109\tNASA\tshipped\n"
            "Oxidizers\tAmmonium nitrate\tAN\tN2H4O3\t-4567.52\t1.725\tNASA\tshipped\n");
  Catalog catalog;
  std::vector<std::string> messages;
  std::string message;
  ASSERT_TRUE(LoadCatalog(dir, catalog, messages));
  EXPECT_FALSE(IndexIsCurrent(dir + "/Compons.dat", dir + "/Compons.IDX"));
  ASSERT_TRUE(RefreshIndexes(dir, catalog, message)) << message;
  EXPECT_TRUE(IndexIsCurrent(dir + "/Compons.dat", dir + "/Compons.IDX"));
  EXPECT_EQ(Read(dir + "/Compons.IDX").substr(Read(dir + "/Compons.IDX").find('\n') + 1),
            "Ammonium nitrate\t3\nPotassium nitrate\t2\n");

  Component mine{"Mine", "Ägyptisches Öl",  "oil; ÖL", "C1,5H3", -1234.5,
                 0.85,   "own measurement", true,      0};
  EXPECT_EQ(ValidateComponent(catalog, mine, -1), "");
  catalog.components.push_back(mine);
  ASSERT_TRUE(SaveCatalog(dir, catalog, message)) << message;
  EXPECT_TRUE(IndexIsCurrent(dir + "/Compons.dat", dir + "/Compons.IDX"));
  EXPECT_TRUE(IndexIsCurrent(dir + "/Class.dat", dir + "/Class.IDX"));
  EXPECT_FALSE(fs::exists(dir + "/Compons.dat.tmp"));
  Catalog again;
  ASSERT_TRUE(LoadCatalog(dir, again, messages));
  EXPECT_TRUE(messages.empty());
  ASSERT_EQ(again.components.size(), 3u);
  EXPECT_EQ(again.components[2].name, "Ägyptisches Öl");
  EXPECT_EQ(again.components[2].formula, "C1,5H3");
  EXPECT_DOUBLE_EQ(again.components[2].enthalpy, -1234.5);
  EXPECT_TRUE(again.components[2].user);
  EXPECT_TRUE(again.classes[1].user);

  // An edit of the table outside the picker makes its index stale.
  Write(dir + "/Compons.dat", Read(dir + "/Compons.dat") + "\n");
  EXPECT_FALSE(IndexIsCurrent(dir + "/Compons.dat", dir + "/Compons.IDX"));

  // A save that cannot write leaves the tables as they were.
  const std::string before = Read(dir + "/Compons.dat");
  fs::create_directory(dir + "/Class.dat.tmp");  // the temporary file cannot be created
  again.components.clear();
  EXPECT_FALSE(SaveCatalog(dir, again, message));
  EXPECT_NE(message.find("Class.dat"), std::string::npos);
  EXPECT_EQ(Read(dir + "/Compons.dat"), before);
}

TEST(ComponentCatalog, ExtremeNumbersComeBackAsTheyWereOrAreRefusedAtEntry) {
  const std::string dir = Scratch("extreme");
  Write(dir + "/Class.dat", kClasses);
  Write(dir + "/Compons.dat", kHeader);
  Catalog catalog;
  std::vector<std::string> messages;
  std::string message;
  ASSERT_TRUE(LoadCatalog(dir, catalog, messages));

  // What a 32-bit float carries is kept to the last bit, however large or fine.
  const double kept[][2] = {{-3.4e38, 1e-30}, {-296.0812345678901, 1.95},
                            {1e-300, 3.4e38},  {-0.1, 0.1},
                            {12345.678, 2.0}};
  int n = 0;
  for (const auto& [enthalpy, density] : kept) {
    Component c{"Oxidizers", "Kept " + std::to_string(n++), "", "H2O", enthalpy,
                density,     "test", true, 0};
    ASSERT_EQ(ValidateComponent(catalog, c, -1), "") << enthalpy;
    catalog.components.push_back(c);
  }
  ASSERT_TRUE(SaveCatalog(dir, catalog, message)) << message;
  Catalog again;
  ASSERT_TRUE(LoadCatalog(dir, again, messages)) << messages.front();
  EXPECT_TRUE(messages.empty());
  ASSERT_EQ(again.components.size(), std::size(kept));
  for (std::size_t i = 0; i < std::size(kept); ++i) {
    EXPECT_EQ(again.components[i].enthalpy, kept[i][0]) << i;
    EXPECT_EQ(again.components[i].density, kept[i][1]) << i;
  }
  EXPECT_NE(Read(dir + "/Compons.dat").find("\t-296.0812345678901\t1.95\t"), std::string::npos);

  // What the task cannot carry is refused at entry, and a row holding it is damage.
  Component far{"Oxidizers", "Far", "", "H2O", -1e300, 1.0, "test", true, 0};
  EXPECT_EQ(ValidateComponent(catalog, far, -1),
            "the enthalpy is beyond what the program can carry (at most 3.4e38 kJ/kg)");
  far.enthalpy = 1e39;
  EXPECT_NE(ValidateComponent(catalog, far, -1), "");
  far.enthalpy = 0;
  for (double density : {1e39, 1e-300}) {
    far.density = density;
    EXPECT_EQ(ValidateComponent(catalog, far, -1),
              "the density is beyond what the program can carry")
        << density;
  }
  Write(dir + "/Compons.dat",
        std::string(kHeader) + "Oxidizers\tHuge\t\tH2O\t1e39\t1\ttest\tuser\n");
  messages.clear();
  ASSERT_TRUE(LoadCatalog(dir, again, messages));
  EXPECT_TRUE(again.components.empty());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Compons.dat, line 2: the enthalpy is beyond what the program can "
                         "carry (at most 3.4e38 kJ/kg)");

  // A table that is a directory or a FIFO cannot be opened (and is not waited on).
  fs::remove(dir + "/Compons.dat");
  fs::create_directory(dir + "/Compons.dat");
  messages.clear();
  EXPECT_FALSE(LoadCatalog(dir, again, messages));
  EXPECT_EQ(messages, std::vector<std::string>{"Compons.dat: cannot be opened"});
  fs::remove(dir + "/Compons.dat");
  ASSERT_EQ(::mkfifo((dir + "/Compons.dat").c_str(), 0600), 0);
  messages.clear();
  EXPECT_FALSE(LoadCatalog(dir, again, messages));
  EXPECT_EQ(messages, std::vector<std::string>{"Compons.dat: cannot be opened"});
}

TEST(ComponentCatalog, ValidationAndSearch) {
  Catalog catalog;
  catalog.classes = {{"Oxidizers", "", false, 2}, {"Explosives", "", false, 3}};
  catalog.components = {
      {"Oxidizers", "Ammonium perchlorate", "AP; NH4ClO4", "NH4ClO4", -2517.4, 1.95, "NASA", false,
       2},
      {"Oxidizers", "Ammonium nitrate", "AN", "N2H4O3", -4567.5, 1.72, "NASA", false, 3},
      {"Oxidizers", "Potassium perchlorate", "KP", "KClO4", -3123.0, 2.52, "NBS", false, 4},
      {"Explosives", "RDX", "hexogen; cyclonite", "C3H6N6O6", 301.2, 1.82, "Meyer", false, 5},
      {"Explosives", "Ammonium picrate", "explosive D", "C6H6N4O7", -1598.0, 1.72, "Meyer", false,
       6}};
  auto names = [&](const std::vector<int>& found) {
    std::vector<std::string> result;
    for (int i : found) result.push_back(catalog.components[i].name);
    return result;
  };
  EXPECT_EQ(
      names(Search(catalog, "", "ammonium")),
      (std::vector<std::string>{"Ammonium nitrate", "Ammonium perchlorate", "Ammonium picrate"}));
  EXPECT_EQ(names(Search(catalog, "", "AP")).front(), "Ammonium perchlorate");
  EXPECT_EQ(names(Search(catalog, "", "nh4clo4")),
            (std::vector<std::string>{"Ammonium perchlorate"}));
  EXPECT_EQ(names(Search(catalog, "", "perchlorate potassium")),
            (std::vector<std::string>{"Potassium perchlorate"}));
  EXPECT_EQ(names(Search(catalog, "Explosives", "ammonium")),
            (std::vector<std::string>{"Ammonium picrate"}));
  EXPECT_EQ(Search(catalog, "Oxidizers", "").size(), 3u);
  EXPECT_TRUE(Search(catalog, "", "xyz").empty());

  EXPECT_EQ(CheckFormula("C1,5H3"), "");
  EXPECT_EQ(CheckFormula("2H2O"), "the formula begins with a number");
  EXPECT_EQ(CheckFormula("H1.2.3"), "the formula holds an unreadable number");
  EXPECT_EQ(CheckFormula("NH4+"),
            "the formula holds the character '+' (only element symbols and numbers)");
  EXPECT_EQ(CheckFormula(std::string(21, 'C')), "the formula has more than 20 element symbols");
  EXPECT_EQ(CheckFormula(""), "the formula is empty");
  Component c = catalog.components[3];
  EXPECT_EQ(ValidateComponent(catalog, c, 3), "");
  EXPECT_EQ(ValidateComponent(catalog, c, -1), "the name RDX is used already");
  c.name = "RDX\tclass 5";
  EXPECT_EQ(ValidateComponent(catalog, c, -1), "a field holds a tab or a line break");
  c.name = "RDX II";
  c.source = " ";
  EXPECT_EQ(ValidateComponent(catalog, c, -1), "the source of the numbers is missing");
  c.source = "x";
  c.enthalpy = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(ValidateComponent(catalog, c, -1), "the enthalpy is not a number");
  EXPECT_EQ(ValidateClass(catalog, "Oxidizers", -1), "the class Oxidizers exists already");
  EXPECT_EQ(ValidateClass(catalog, "Oxidizers", 0), "");
}

}  // namespace
}  // namespace kvilcb

namespace kvilcb {
namespace {

// The shipped tables and the user's tables in the user's data folder: read as one
// catalogue, the shipped entries read-only, only the user's saved (to the user's folder).
TEST(ComponentCatalog, UserEntriesLiveInTheUsersFolderBesideTheShippedOnes) {
  const std::string shipped = Scratch("shipped");
  const std::string user = Scratch("user") + "/kvil";
  Write(shipped + "/Class.dat", kClasses);
  Write(shipped + "/Compons.dat",
        std::string(kHeader) +
            "Oxidizers\tAmmonium perchlorate\tAP\tNH4ClO4\t-2517.40\t1.95\tNASA\tshipped\n"
            "Mine\tOld own\t\tC\t0\t2\tx\tuser\n"
            "Oxidizers\tBroken\t\tNH4ClO4\t-25x\t1.95\tNASA\tshipped\n");
  const std::string shippedBefore = Read(shipped + "/Compons.dat");

  // No user tables yet: the shipped catalogue, all of it read-only.
  Catalog catalog;
  std::vector<std::string> messages;
  ASSERT_TRUE(LoadCatalogs(shipped, user, catalog, messages));
  ASSERT_EQ(catalog.components.size(), 2u);
  EXPECT_FALSE(catalog.components[1].user);
  EXPECT_EQ(messages.size(), 1u);  // the broken shipped row

  // A user component in a shipped class and a class of the user's: saved alone, in a
  // folder made for them.
  catalog.classes.push_back({"Binders", "", true, 0});
  Component binder;
  binder.className = "Oxidizers";
  binder.name = "My oxidizer";
  binder.formula = "NH4NO3";
  binder.enthalpy = -4563;
  binder.density = 1.7;
  binder.source = "lab";
  binder.user = true;
  catalog.components.push_back(binder);
  std::string message;
  ASSERT_TRUE(SaveUserCatalog(user, catalog, message)) << message;
  EXPECT_EQ(Read(shipped + "/Compons.dat"), shippedBefore);
  EXPECT_EQ(Read(user + "/Class.dat"), "class\tdescription\torigin\nBinders\t\tuser\n");
  EXPECT_EQ(Read(user + "/Compons.dat"),
            std::string(kHeader) + "Oxidizers\tMy oxidizer\t\tNH4NO3\t-4563\t1.7\tlab\tuser\n");
  EXPECT_TRUE(IndexIsCurrent(user + "/Compons.dat", user + "/Compons.IDX"));

  // Read back beside the shipped ones; a user row that takes a shipped name is named with
  // the user's folder and kept for the next save.
  Write(user + "/Compons.dat",
        Read(user + "/Compons.dat") + "Binders\tammonium perchlorate\t\tC\t0\t1\tx\tuser\n");
  messages.clear();
  ASSERT_TRUE(LoadCatalogs(shipped, user, catalog, messages));
  ASSERT_EQ(catalog.components.size(), 3u);
  EXPECT_TRUE(catalog.components[2].user);
  EXPECT_EQ(catalog.components[2].name, "My oxidizer");
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[1].rfind(user + "/Compons.dat, line 3: ", 0), 0u) << messages[1];
  ASSERT_TRUE(SaveUserCatalog(user, catalog, message)) << message;
  EXPECT_NE(Read(user + "/Compons.dat").find("\tammonium perchlorate\t"), std::string::npos);

  // Unreadable user tables are reported and never written over.
  Write(user + "/Compons.dat", "not a table\n");
  messages.clear();
  ASSERT_TRUE(LoadCatalogs(shipped, user, catalog, messages));
  EXPECT_EQ(catalog.components.size(), 2u);
  EXPECT_FALSE(SaveUserCatalog(user, catalog, message));
  EXPECT_EQ(Read(user + "/Compons.dat"), "not a table\n");
}

TEST(ComponentCatalog, TheUsersFolderFollowsXdgDataHome) {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  const std::string saved = xdg ? xdg : "";
  setenv("XDG_DATA_HOME", "/data/me", 1);
  EXPECT_EQ(UserDataDirectory(), "/data/me/kvil");
  setenv("XDG_DATA_HOME", "relative", 1);  // not absolute: ignored, as the standard says
  setenv("HOME", getenv("HOME") ? getenv("HOME") : "/home/x", 1);
  EXPECT_EQ(UserDataDirectory(), std::string(getenv("HOME")) + "/.local/share/kvil");
  unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(UserDataDirectory(), std::string(getenv("HOME")) + "/.local/share/kvil");
  if (xdg) setenv("XDG_DATA_HOME", saved.c_str(), 1);
}

}  // namespace
}  // namespace kvilcb
