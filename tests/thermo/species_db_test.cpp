#include "thermo/species_db.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "thermo/db_location.h"
#include "thermo/test_database.h"

namespace kvil {
namespace {

namespace fs = std::filesystem;
using testing_db::Simple;
using testing_db::TestSpecies;

std::vector<TestSpecies> TwoSpecies() {
  return {{"H2O(g)", 2, {{1, 2}, {8, 1}}, {Simple(1000), Simple(6000)}},
          {"Al(+g)", 13, {{13, 1}}, {Simple()}}};
}

TEST(SpeciesDatabase, ReadsRecordLayoutsAndRefusesRecordsOutsideTheFiles) {
  const fs::path dir = testing_db::FreshDir("db");
  testing_db::WriteDatabase(dir, TwoSpecies());
  // A trailing partial record is no record.
  {
    std::ofstream out(dir / kSpeciesFileName, std::ios::binary | std::ios::app);
    out << "partial";
  }
  SpeciesDatabase db;
  ASSERT_TRUE(db.Open(dir.string()));
  EXPECT_EQ(db.SpeciesCount(), 2);
  EXPECT_EQ(db.PolynomialCount(), 3);
  SpeciesRecord s;
  ASSERT_TRUE(db.ReadSpecies(1, s));
  EXPECT_EQ(s.name, "Al(+g)");
  EXPECT_EQ(s.kindCode, 13);
  EXPECT_EQ(s.element[0], 13);
  EXPECT_EQ(s.count[0], 1);
  EXPECT_EQ(s.propertyRecord, 1);
  EXPECT_EQ(s.polynomialRef, 10 * 2 + 1);
  PolynomialRecord p;
  ASSERT_TRUE(db.ReadPolynomial(1, p));
  EXPECT_EQ(p.tmax, 6000.0f);
  EXPECT_EQ(p.phi[1], 30.0f);
  EXPECT_FALSE(db.ReadSpecies(2, s));
  EXPECT_FALSE(db.ReadSpecies(-1, s));
  EXPECT_FALSE(db.ReadPolynomial(3, p));
  PropertyRecord pr;
  EXPECT_FALSE(db.ReadProperty(2, pr));

  // A directory without the three files leaves the open database as it was.
  EXPECT_FALSE(db.Open(testing_db::FreshDir("empty").string()));
  EXPECT_EQ(db.Directory(), dir.string());
  EXPECT_EQ(db.SpeciesCount(), 2);
}

TEST(SpeciesDatabase, DisplayNamesAndKindCodes) {
  EXPECT_EQ(SpeciesDisplayName("CO2(g)"), "CO2");
  EXPECT_EQ(SpeciesDisplayName("Al(+g)"), "Al(+)");
  EXPECT_EQ(SpeciesDisplayName("OH(-g)"), "OH(-)");
  EXPECT_EQ(SpeciesDisplayName("C(c;graphite)"), "C(c;graphite)");
  EXPECT_EQ(SpeciesDisplayName("H2O(c)"), "H2O(c)");
  for (int code : {13, 14, 23, 24, 33, 34, 43, 44}) {
    EXPECT_TRUE(IsIonCode(code)) << code;
    EXPECT_EQ(PhaseOfKindCode(code), 2);
  }
  for (int code : {0, 3, 4, 7, 12, 15, 53, 54}) EXPECT_FALSE(IsKnownKindCode(code)) << code;
  EXPECT_EQ(PhaseOfKindCode(5), 5);
}

class LocationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = testing_db::FreshDir("root");
    work_ = root_ / "work";
    fs::create_directories(work_);
  }
  fs::path MakeDatabase(const fs::path& dir) {
    fs::create_directories(dir);
    testing_db::WriteDatabase(dir, TwoSpecies());
    return dir;
  }
  void WritePth(const std::string& text) {
    std::ofstream(work_ / "kvil.pth", std::ios::binary) << text;
  }
  fs::path root_, work_;
  SpeciesDatabase db_;
};

TEST_F(LocationTest, PathFileNamesTheDirectoryWithEitherTrailingSeparator) {
  const fs::path data = MakeDatabase(root_ / "data");
  for (const std::string& line : {data.string() + "/", data.string() + "\\", data.string()}) {
    WritePth(line + "\r\nignored second line\r\n");
    const DatabaseLocation loc = LocateSpeciesDatabase(db_, work_.string(), "");
    EXPECT_TRUE(loc.found) << line;
    EXPECT_EQ(loc.source, DatabaseSource::PathFile);
    EXPECT_EQ(fs::path(loc.directory), data);
  }
  // A relative directory is taken from the working directory.
  WritePth("..\\data\\\r\n");
  EXPECT_EQ(LocateSpeciesDatabase(db_, work_.string(), "").source, DatabaseSource::PathFile);
  EXPECT_EQ(db_.SpeciesCount(), 2);
}

TEST_F(LocationTest, FallsBackToTheShippedDatabaseBesideTheExecutable) {
  const fs::path exe = root_ / "bin" / "kvil-batch";
  EXPECT_FALSE(LocateSpeciesDatabase(db_, work_.string(), exe.string()).found);
  EXPECT_FALSE(db_.IsOpen());

  WritePth((root_ / "nowhere").string() + "/\r\n");  // names no database
  MakeDatabase(root_ / "share" / "kvil" / "db");     // installed layout
  DatabaseLocation loc = LocateSpeciesDatabase(db_, work_.string(), exe.string());
  ASSERT_TRUE(loc.found);
  EXPECT_EQ(loc.source, DatabaseSource::Shipped);
  EXPECT_EQ(fs::canonical(loc.directory), fs::canonical(root_ / "share" / "kvil" / "db"));

  MakeDatabase(root_ / "bin" / "db");  // build tree layout comes first
  loc = LocateSpeciesDatabase(db_, work_.string(), exe.string());
  EXPECT_EQ(fs::path(loc.directory), root_ / "bin" / "db");
  // kvil.pth is not rewritten by the fallback.
  EXPECT_EQ(ReadPathFile(work_.string()), (root_ / "nowhere").string() + "/");
}

TEST_F(LocationTest, WithoutPathFileTheWorkingDirectoryIsTried) {
  MakeDatabase(work_);
  const DatabaseLocation loc = LocateSpeciesDatabase(db_, work_.string(), "");
  ASSERT_TRUE(loc.found);
  EXPECT_EQ(loc.source, DatabaseSource::WorkingDirectory);
}

TEST_F(LocationTest, WritePathFileRoundTripsWithTrailingSeparator) {
  const fs::path data = MakeDatabase(root_ / "chosen");
  ASSERT_TRUE(WritePathFile(work_.string(), data.string()));
  EXPECT_EQ(ReadPathFile(work_.string()), data.string() + "/");
  EXPECT_EQ(LocateSpeciesDatabase(db_, work_.string(), "").source, DatabaseSource::PathFile);
  EXPECT_EQ(WithTrailingSeparator("C:\\KVIL\\"), "C:\\KVIL\\");
  // A choice in the directory dialog is remembered.
  const fs::path other = MakeDatabase(root_ / "other");
  EXPECT_FALSE(
      AcceptChosenDatabase(db_, work_.string(), (root_ / "nodb" / "Demo_1a.bas").string()));
  std::string error;
  ASSERT_TRUE(AcceptChosenDatabase(db_, work_.string(), (other / "Demo_1a.bas").string(), &error));
  EXPECT_EQ(error, "");
  EXPECT_EQ(ReadPathFile(work_.string()), other.string() + "/");
  // A path file in another letter case is the same file.
  fs::rename(work_ / "kvil.pth", work_ / "KVIL.PTH");
  EXPECT_EQ(ReadPathFile(work_.string()), other.string() + "/");
}

}  // namespace
}  // namespace kvil
