// Importing Jet files: schema, properties, indexes and exact values for a
// Jet 3 and a Jet 4 file, the rebuilt text of every kind of saved query,
// and the refusals that must leave no TARGET behind.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "ImportFixture.h"
#include "import/JetQueries.h"
#include "support/ErrorOf.h"

namespace qrw::testing {
namespace {

using import::ExitStatus;

struct FieldFacts {
  const char* name;
  int type;
  long size;
};

TEST_F(ImportTest, Jet3TableKeepsSchemaPropertiesIndexesAndValues) {
  fs::path src = Copy("testV1997.mdb");
  // Values the file lacks: a date before day 0 with a time (1800-01-01
  // 06:00) and a currency amount with four decimals.
  std::string bytes = ReadBytes(src);
  Patch(bytes, Raw(27293.0), Raw(-36522.25));
  Patch(bytes, Raw<std::int64_t>(35000), Raw<std::int64_t>(1234567891234LL));
  // and a time with a fraction of a second, which the format rounds (the
  // data page comes before the index page that repeats the value).
  Patch(bytes, Raw(29932.0), Raw(29932.5 + 0.25 / 86400), true);
  // Jet 3 text is in the file's code page (1252): E9 is "é", 80 the euro sign.
  Patch(bytes, "hijklmnop", "hijklmn\xE9\x80");
  WriteBytes(src, bytes);
  import::Report r = Import(src);
  EXPECT_EQ(r.tables, 4);
  EXPECT_EQ(r.rows, 2);

  TableDef t = Db()->GetTableDefs().Item("Table1");
  const FieldFacts want[] = {{"A", dbText, 50}, {"B", dbText, 100}, {"C", dbByte, 1},     {"D", dbInteger, 2},
                             {"E", dbLong, 4},  {"F", dbDouble, 8}, {"G", dbDate, 8},     {"H", dbCurrency, 8},
                             {"I", dbBoolean, 1}};
  ASSERT_EQ(t->GetFields().Count(), 9);
  for (int i = 0; i < 9; ++i) {
    Field f = t->GetFields().Item(i);
    EXPECT_EQ(f->Name(), want[i].name);
    EXPECT_EQ(f->Type(), want[i].type) << want[i].name;
    EXPECT_EQ(f->Size(), want[i].size) << want[i].name;
  }
  EXPECT_FALSE(t->GetFields().Item("A")->AllowZeroLength());
  EXPECT_FALSE(t->GetFields().Item("A")->Required());

  // Properties keep their types and stored order.
  Field hf = t->GetFields().Item("H");
  Properties& h = hf->GetProperties();
  EXPECT_EQ(h.Item("DecimalPlaces")->Type(), dbByte);
  EXPECT_TRUE(h.Item("DecimalPlaces")->Value().SameAs(Variant::Byte(255)));
  EXPECT_EQ(h.Item("Format")->Type(), dbText);
  EXPECT_EQ(h.Item("Format")->Value().ToText(), "$#,##0.00;($#,##0.00)");
  std::string order;
  for (const Property& p : h.Members()) order += p->Name() + " ";
  EXPECT_EQ(order, "ColumnWidth ColumnOrder ColumnHidden Format DecimalPlaces DefaultValue ");

  Index pk = t->GetIndexes().Item("PrimaryKey");
  EXPECT_TRUE(pk->Primary());
  EXPECT_EQ(pk->GetFields().Item(0)->Name(), "A");
  EXPECT_FALSE(t->GetIndexes().Item("B")->Unique());

  auto g = Column("Table1", "G");
  EXPECT_EQ(DateToIso(g[1].ToDate()), "1800-01-01 06:00:00");
  auto cur = Column("Table1", "H");
  EXPECT_EQ(cur[1].ToCurrencyScaled(), 1234567891234LL);
  auto b = Column("Table1", "I");
  EXPECT_EQ(b[0].ToText() + b[1].ToText(), "FalseTrue");
  EXPECT_EQ(Column("Table1", "F")[1].ToDouble(), 444.555);
  EXPECT_EQ(Column("Table1", "B")[1].ToText(), "hijklmn\u00e9\u20ac");

  // The GUID column has no place of its own in the format: it is named.
  auto named = [&](const std::string& what) {
    return std::find(r.notKept.begin(), r.notKept.end(), what) != r.notKept.end();
  };
  EXPECT_TRUE(named("GUID field Table4.data (stored as Text(38))"));
  EXPECT_TRUE(named("GUID auto-number of Table4.data"));
  EXPECT_TRUE(named("times rounded to the second in Table1.G (1 values)"));
  EXPECT_EQ(DateToIso(g[0].ToDate()), "1981-12-12 12:00:00");
}

TEST_F(ImportTest, Jet4KeepsSizesAutoNumbersUnicodeAndLongBinary) {
  fs::path src = Copy("testUnicodeCompV2003.mdb");
  // "Мир" stored as UTF-16: its first letter becomes U+1F600, a surrogate pair.
  std::string bytes = ReadBytes(src);
  Patch(bytes, std::string("\x1c\x04\x38\x04\x40\x04", 6), std::string("\x3d\xd8\x00\xde\x40\x04", 6));
  WriteBytes(src, bytes);
  Import(src);
  TableDef t = Db()->GetTableDefs().Item("Table");
  EXPECT_EQ(t->GetFields().Item("Unicode")->Size(), 255);  // 510 bytes in the file
  EXPECT_EQ(t->GetFields().Item("ID")->Attributes() & dbAutoIncrField, dbAutoIncrField);
  auto u = Column("Table", "Unicode");
  EXPECT_EQ(u[2].ToText(), "\xF0\x9F\x98\x80\xD1\x80");
  EXPECT_EQ(u[4].ToText(), "漢字仮名交じり文");
  db_->Close();
  db_.Clear();

  // A Long Binary value spread over several pages arrives whole, byte for
  // byte as the packaged export tool reads it.
  fs::path src2 = Copy("test2V2000.mdb");
  Import(src2, true);
  std::string blob = Column("MSP_PROJECTS", "RESERVED_BINARY_DATA")[0].ToText();
  ASSERT_EQ(blob.size(), 22970u);
  std::string cmd = "mdb-export -b hex " + src2.string() + " MSP_PROJECTS";
  FILE* p = ::popen(cmd.c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::string csv;
  char buf[4096];
  while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) csv.append(buf, n);
  ::pclose(p);
  std::string hex;
  for (unsigned char ch : blob) {
    char two[3];
    std::snprintf(two, sizeof two, "%02X", ch);
    hex += two;
  }
  EXPECT_NE(csv.find(hex), std::string::npos);
}

TEST_F(ImportTest, NullAndEmptyTextStayApart) {
  fs::path src = Copy("overflowTestV1997.mdb");
  // Row 3 has data1 Null, stored with zero length: setting its bit in the
  // row's null mask makes it an empty text without moving anything.
  std::string bytes = ReadBytes(src);
  const std::size_t at = bytes.find("row3col3");
  ASSERT_NE(at, std::string::npos);
  const std::size_t page = at / 2048 * 2048;
  auto get16 = [&](std::size_t o) { return static_cast<unsigned>(static_cast<unsigned char>(bytes[o]) | (static_cast<unsigned char>(bytes[o + 1]) << 8)); };
  const unsigned slots = get16(page + 8);
  std::size_t rowEnd = 0;
  for (unsigned s = 0; s < slots; ++s) {
    std::size_t start = page + (get16(page + 10 + 2 * s) & 0x1FFF);
    std::size_t end = page + (s == 0 ? 2048 : (get16(page + 8 + 2 * s) & 0x1FFF));
    if (start <= at && at < end) rowEnd = end - 1;
  }
  ASSERT_NE(rowEnd, 0u);
  // nine columns: a two-byte mask ends the row; column 0 is bit 0 of its first byte.
  bytes[rowEnd - 1] = static_cast<char>(bytes[rowEnd - 1] | 1);
  WriteBytes(src, bytes);
  Import(src);
  auto d1 = Column("Table1", "data1");
  ASSERT_EQ(d1.size(), 7u);
  EXPECT_TRUE(d1[2].IsText() && d1[2].TextRef().empty());
  EXPECT_TRUE(d1[4].IsNull());
  EXPECT_TRUE(Column("Table1", "data4")[2].IsNull());
}

const char* const kQueries[][2] = {
    {"AppendQuery",
     "INSERT INTO Table3 (col2, col2, col3)\r\nSELECT [Table1].[col2], [Table2].[col2], [Table2].[col3]\r\n"
     "FROM Table3, Table1 INNER JOIN Table2 ON [Table1].[col1]=[Table2].[col1];"},
    {"CrosstabQuery",
     "TRANSFORM Count([Table2].[col2]) AS CountOfcol2\r\n"
     "SELECT Table2_1.col1, [Table2].[col3], Avg(Table2_1.col2) AS AvgOfcol2\r\n"
     "FROM (Table1 INNER JOIN Table2 ON [Table1].[col1]=[Table2].[col1]) INNER JOIN Table2 AS Table2_1 ON "
     "[Table2].[col1]=Table2_1.col3\r\n"
     "WHERE ((([Table1].[col1])>\"10\") And ((Table2_1.col1) Is Not Null) And ((Avg(Table2_1.col2))>\"10\"))\r\n"
     "GROUP BY Table2_1.col1, [Table2].[col3]\r\nORDER BY [Table2].[col3]\r\nPIVOT [Table1].[col1];"},
    {"DataDefinitionQuery", "CREATE TABLE Table5 (col1 CHAR, col2 CHAR);"},
    {"DeleteQuery",
     "DELETE Table1.col1, Table1.col2, Table1.col3\r\nFROM Table1\r\nWHERE (((Table1.col1)>\"blah\"));"},
    {"MakeTableQuery",
     "SELECT Max(Table2.col1) AS MaxOfcol1, Table2.col2, Table3.col2 INTO Table4\r\n"
     "FROM (Table2 INNER JOIN Table1 ON Table2.col1 = Table1.col2) RIGHT JOIN Table3 ON Table1.col2 = Table3.col3\r\n"
     "GROUP BY Table2.col2, Table3.col2\r\n"
     "HAVING (((Max(Table2.col1))=\"buzz\") AND ((Table2.col2)<>\"blah\"));"},
    {"PassthroughQuery", "ALTER TABLE Table4 DROP COLUMN col5;"},
    {"SelectQuery",
     "SELECT DISTINCT Table1.*, Table2.col1, Table2.col2, Table3.col3\r\n"
     "FROM (Table1 LEFT JOIN Table3 ON Table1.col1 = Table3.col1) INNER JOIN Table2 ON "
     "(Table3.col1 = Table2.col1) AND (Table3.col1 = Table2.col2)\r\n"
     "WHERE (((Table2.col2)=\"foo\" Or (Table2.col2) In (\"buzz\",\"bazz\")))\r\nORDER BY Table2.col1;"},
    {"UnionQuery",
     "Select Table1.col1, Table1.col2\r\nFROM Table1\r\nwhere Table1.col1 = \"foo\"\r\nUNION\r\n"
     "Select Table2.col1, Table2.col2\r\nFROM Table2\r\n"
     "UNION Select Table3.col1, Table3.col2\r\nFROM Table3\r\nwhere Table3.col3 > \"blah\";"},
    {"UpdateQuery",
     "PARAMETERS [User Name] Text ( 255 );\r\n"
     "UPDATE Table1 SET Table1.col1 = \"foo\", Table1.col2 = [Table2].[col3], [Table2].[col1] = [User Name]\r\n"
     "WHERE ((([Table2].[col1]) Is Not Null));"},
};

class QueryFileTest : public ImportTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(QueryFileTest, EveryQueryKindIsRebuiltAndOpenedThroughTheEngine) {
  import::Report r = Import(Copy(GetParam()));
  ASSERT_EQ(r.queries, 9);
  for (const auto& q : kQueries) {
    EXPECT_EQ(Db()->GetQueryDefs().Item(q[0])->SQL(), q[1]) << q[0];
  }
  ASSERT_EQ(r.queryChecks.size(), 9u);
  // Every query opens, but for one needing a value no one can give here
  // (a declared parameter, a form's field), and the two kinds not run.
  for (const import::QueryCheck& c : r.queryChecks) {
    const std::string sql = Db()->GetQueryDefs().Item(c.name)->SQL();
    if (c.name == "DataDefinitionQuery" || c.name == "PassthroughQuery") {
      EXPECT_FALSE(c.tried) << c.name;
    } else if (sql.rfind("PARAMETERS ", 0) == 0 || sql.find("[Forms]!") != std::string::npos) {
      EXPECT_EQ(c.error, 3061) << c.name;
    } else {
      EXPECT_TRUE(c.ran) << c.name << ": " << c.errorText;
    }
  }
  // The report says what the rebuild added to the stored text.
  std::string lines;
  for (const std::string& l : r.Lines()) lines += l + "\n";
  EXPECT_NE(lines.find("Query UnionQuery (union): opens, 0 rows read; FROM added to the members of the union that "
                       "had none: Table1, Table2, Table3"),
            std::string::npos)
      << lines;
  // Trying the make-table query left no table behind.
  EXPECT_NE(ErrorOf([&] { Db()->GetTableDefs().Item("Table4"); }), 0);
}

TEST(UnionRebuild, AFromIsAddedOnlyWhereOneTableIsMeant) {
  auto rebuild = [](std::vector<std::string> members) {
    std::vector<jet::QueryRow> rows;
    rows.push_back({1, "", "", "", Variant(9)});
    for (auto& m : members) rows.push_back({5, "", "", m, Variant::Null()});
    return jet::RebuildQuery(rows, {"Parts", "Stock Items", "Orders"}).sql;
  };
  EXPECT_EQ(rebuild({"SELECT [Stock Items].Code, 'Parts.x' FROM [Stock Items]", "SELECT [Stock Items].Code, 1 UNION ALL "
                                                                                   "SELECT Parts.Id, Parts.Name WHERE Parts.Id > 1.5;"}),
            "SELECT [Stock Items].Code, 'Parts.x' FROM [Stock Items]\r\nUNION SELECT [Stock Items].Code, 1\r\n"
            "FROM [Stock Items] UNION ALL SELECT Parts.Id, Parts.Name\r\nFROM Parts WHERE Parts.Id > 1.5;");
  // Fields of two tables, of an unknown one, of none, or a sub-select:
  // which table was meant is not clear, so the text stays as stored.
  for (const char* m : {"SELECT Parts.Id, Orders.Id", "SELECT Nowhere.Id", "SELECT 1 + 2",
                        "SELECT Parts.Id WHERE Parts.Id IN (SELECT Orders.Part FROM Orders)"})
    EXPECT_EQ(rebuild({"SELECT Id FROM Parts", m}), std::string("SELECT Id FROM Parts\r\nUNION ") + m + ";");
}

INSTANTIATE_TEST_SUITE_P(Jet, QueryFileTest,
                         ::testing::Values("queryTestV1997.mdb", "queryTestV2000.mdb", "queryTestV2003.mdb"));

TEST_F(ImportTest, RefusedFilesLeaveNoTargetAndSourceUnchanged) {
  std::string line;
  fs::path text = dir_ / "notes.mdb";
  WriteBytes(text, std::string(8192, 'x'));
  EXPECT_EQ(Refusal(text, &line), import::kExitNotJet);
  EXPECT_EQ(line, text.string() + ": not a Jet database");

  fs::path locked = Copy("testV1997.mdb");
  std::string bytes = ReadBytes(locked);
  bytes[0x42] = static_cast<char>(bytes[0x42] ^ 0x5A);  // a password in the masked header field
  WriteBytes(locked, bytes);
  EXPECT_EQ(Refusal(locked, &line), import::kExitPassword);
  EXPECT_NE(line.find("database password"), std::string::npos);

  // A data page whose type byte is broken stops the import at its table.
  fs::path broken = Copy("overflowTestV1997.mdb");
  bytes = ReadBytes(broken);
  bytes[bytes.find("row1col1") / 2048 * 2048] = 0x07;
  WriteBytes(broken, bytes);
  EXPECT_EQ(Refusal(broken, &line), import::kExitDamaged);
  EXPECT_NE(line.find("table Table1, row 1"), std::string::npos) << line;
  // So does a file cut short, here inside its catalog.
  bytes = ReadBytes(Copy("overflowTestV1997.mdb"));
  bytes.resize(8 * 2048);
  WriteBytes(broken, bytes);
  EXPECT_EQ(Refusal(broken, &line), import::kExitDamaged);
  EXPECT_NE(line.find("damaged"), std::string::npos) << line;
  EXPECT_FALSE(fs::exists(Target()));

  fs::path good = Copy("indexTestV2000.mdb");
  const std::string before = ReadBytes(good);
  WriteBytes(Target(), "keep me");
  EXPECT_EQ(Refusal(good), import::kExitTargetExists);
  EXPECT_EQ(ReadBytes(Target()), "keep me");
  import::Report r = Import(good, true);
  EXPECT_EQ(ReadBytes(good), before);
  // Relationships have no place in the format: named, with their indexes;
  // the product's own navigation tables' relationships are not the user's.
  std::string notKept;
  for (const std::string& n : r.notKept) notKept += n + "\n";
  EXPECT_NE(notKept.find("relationship Table2Table1\n"), std::string::npos) << notKept;
  EXPECT_NE(notKept.find("relationship index Table1.Table2Table1\n"), std::string::npos);
  EXPECT_EQ(notKept.find("MSysNavPane"), std::string::npos);
  EXPECT_EQ(Refusal(good, nullptr, true), import::kExitOk);  // replaces its own earlier result
  // Never over the source itself, not even with --force.
  EXPECT_EQ(import::kExitTargetExists, [&] {
    try {
      import::ImportJet(good.string(), good.string(), import::Options{true, {}});
    } catch (const import::ImportError& e) {
      return e.Status();
    }
    return import::kExitOk;
  }());
  EXPECT_EQ(ReadBytes(good), before);
  for (const auto& e : fs::directory_iterator(dir_))
    EXPECT_EQ(e.path().filename().string().rfind(".~", 0), std::string::npos) << e.path();
}

TEST_F(ImportTest, KilledImportLeavesNoTarget) {
  fs::path src = Copy("indexTestV2000.mdb");
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    import::Options o;
    o.progress = [](const std::string&, long, bool) { ::raise(SIGTERM); };
    import::ImportJet(src.string(), Target().string(), o);
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGTERM);
  EXPECT_FALSE(fs::exists(Target()));
  for (const auto& e : fs::directory_iterator(dir_)) EXPECT_EQ(e.path().filename(), "indexTestV2000.mdb");
}

}  // namespace
}  // namespace qrw::testing
