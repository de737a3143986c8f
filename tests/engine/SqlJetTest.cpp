// Statements as the query designer writes them: Yes/No constants,
// parameters, UNION, crosstabs, DISTINCTROW, TOP with ties, joins in
// UPDATE and DELETE, and the clauses that change nothing here. Results
// worked out by hand on two small tables.
#include <string>

#include "SqlFixture.h"

namespace qrw::sqltest {
namespace {

using Strs = std::vector<std::string>;

class SqlJetTest : public SqlTest {
 protected:
  void SetUp() override {
    SqlTest::SetUp();
    Raw("CREATE TABLE Customers (Id INTEGER DEFAULT 0, Name VARCHAR(20) COLLATE NOCASE, Active BOOLEAN DEFAULT 0);"
        "INSERT INTO Customers VALUES (1, 'Ann', -1), (2, 'Bob', 0), (3, 'Cy', -1), (4, 'Ann', 0);"
        "CREATE TABLE Orders (OrderId INTEGER DEFAULT 0, CustId INTEGER DEFAULT 0,"
        " Product VARCHAR(20) COLLATE NOCASE, Qty INTEGER DEFAULT 0, Day DATETIME);"
        "INSERT INTO Orders VALUES (10, 1, 'Pen', 2, '2003-01-05'), (11, 1, 'Ink', 5, '2003-02-10'),"
        " (12, 2, 'Pen', 1, '2003-01-20'), (13, 1, 'Pen', 3, '2003-02-11'), (14, 3, 'Pad', 4, '2003-03-01');");
    Open();
  }
  Strs Col(const std::string& sql, const std::string& field) { return Column(db_->OpenRecordset(sql), field); }
  // Every row of a recordset, fields joined by "|", Null shown as "-".
  Strs Table(const std::string& sql) {
    Recordset rs = db_->OpenRecordset(sql);
    Strs out;
    std::string head;
    for (int k = 0; k < rs->GetFields().Count(); ++k) head += (k ? "|" : "") + rs->Fields(k)->Name();
    out.push_back(head);
    for (; !rs->Eof(); rs->MoveNext()) {
      std::string row;
      for (int k = 0; k < rs->GetFields().Count(); ++k) {
        Variant v = rs->Fields(k)->Value();
        row += (k ? "|" : "") + (v.IsNull() ? std::string("-") : v.ToText());
      }
      out.push_back(row);
    }
    return out;
  }
};

TEST_F(SqlJetTest, YesNoAndOnOffAreTrueAndFalse) {
  EXPECT_EQ(Col("Select Id From Customers Where Active = Yes Order By Id", "Id"), (Strs{"1", "3"}));
  EXPECT_EQ(Col("Select Id From Customers Where Active = No Order By Id", "Id"), (Strs{"2", "4"}));
  EXPECT_EQ(Col("Select Id From Customers Where Active = On And Not Active = Off", "Id"), (Strs{"1", "3"}));
  EXPECT_EQ(Run("Update Customers Set Active = Yes Where Id = 2"), 1);
  EXPECT_EQ(One("SELECT Active FROM Customers WHERE Id = 2"), "-1");
}

TEST_F(SqlJetTest, ParametersAndFormReferencesNeedValuesNoOneGives) {
  EXPECT_EQ(ErrorText([&] { db_->OpenRecordset("PARAMETERS [Which Customer] Long; SELECT * FROM Orders "
                                               "WHERE CustId = [Which Customer];"); }),
            "Too few parameters. Expected 1.");
  // Declared and unused counts too, a declared one used twice once.
  EXPECT_EQ(ErrorText([&] { db_->OpenRecordset("PARAMETERS a Text ( 255 ), [b] DateTime; SELECT * FROM Orders "
                                               "WHERE Product = a Or Product = a"); }),
            "Too few parameters. Expected 2.");
  EXPECT_EQ(ErrorOf([&] { Run("PARAMETERS [New Qty] Short; UPDATE Orders SET Qty = [New Qty]"); }), 3061);
  EXPECT_EQ(ErrorText([&] { db_->OpenRecordset("SELECT * FROM Orders WHERE OrderId = [Forms]![Orders]![OrderID]"); }),
            "Too few parameters. Expected 1.");
  // A saved query with a declaration, used as a source.
  db_->CreateQueryDef("ByCustomer", "PARAMETERS Cust Long; SELECT * FROM Orders WHERE CustId = Cust");
  EXPECT_EQ(ErrorOf([&] { db_->OpenRecordset("SELECT * FROM ByCustomer"); }), 3061);
  EXPECT_EQ(One("SELECT count(*) FROM Orders WHERE Qty = 2"), "1");
}

TEST_F(SqlJetTest, UnionRemovesRepeatedRowsAndUnionAllKeepsThem) {
  const std::string a = "Select Product From Orders Where CustId = 1 ";
  const std::string b = "Select Product From Orders Where CustId = 2 ";
  EXPECT_EQ(Col(a + "Union " + b + "Order By Product", "Product"), (Strs{"Ink", "Pen"}));
  EXPECT_EQ(Col(a + "Union All " + b + "Order By Product", "Product"), (Strs{"Ink", "Pen", "Pen", "Pen"}));
  // Text repeats without regard to case; the first member names the fields.
  Strs who = Table("Select Name As Who From Customers Where Id = 1 Union Select 'ANN' From Orders Union "
                   "Select Product From Orders Where OrderId = 14 Order By Who Desc");
  ASSERT_EQ(who.size(), 3u);
  EXPECT_EQ(who[0] + "|" + who[1] + "|" + text::UCase(who[2]), "Who|Pad|ANN");
  Recordset rs = db_->OpenRecordset(a + "Union " + b);
  EXPECT_EQ(ErrorOf([&] { rs->Edit(); }), engine::kErrReadOnly);
  EXPECT_EQ(ErrorOf([&] { db_->OpenRecordset(a + "Union Select Product, Qty From Orders"); }), 3307);
  // A saved union is a source like any other.
  db_->CreateQueryDef("Products", a + "Union " + b);
  EXPECT_EQ(Col("Select Count(*) As n From Products", "n"), Strs{"2"});
}

TEST_F(SqlJetTest, CrosstabHasOneColumnPerPivotValueAndNullForMissingCells) {
  EXPECT_EQ(Table("TRANSFORM Sum(Orders.Qty) AS SumOfQty SELECT Orders.CustId FROM Orders "
                  "GROUP BY Orders.CustId PIVOT Orders.Product;"),
            (Strs{"CustId|Ink|Pad|Pen", "1|5|-|5", "2|-|-|1", "3|-|4|-"}));
  // The IN list gives the columns and their order, values not there included.
  EXPECT_EQ(Table("TRANSFORM Count(*) SELECT CustId, Sum(Qty) As Total FROM Orders GROUP BY CustId "
                  "PIVOT Format(Day, \"mmm\") In (\"Jan\", \"Feb\", \"Dec\")"),
            (Strs{"CustId|Total|Jan|Feb|Dec", "1|10|1|2|-", "2|1|1|-|-", "3|4|-|-|-"}));
  Recordset rs = db_->OpenRecordset("TRANSFORM Max(Qty) SELECT CustId FROM Orders GROUP BY CustId PIVOT Product");
  EXPECT_EQ(ErrorOf([&] { rs->Edit(); }), engine::kErrReadOnly);
}

TEST_F(SqlJetTest, DistinctRowKeepsOneRowPerRowOfTheShownTableAndStaysUpdatable) {
  const std::string join = " FROM Customers INNER JOIN Orders ON Customers.Id = Orders.CustId";
  EXPECT_EQ(Col("SELECT Customers.Name" + join + " ORDER BY Customers.Name", "Name").size(), 5u);
  EXPECT_EQ(Col("SELECT DISTINCTROW Customers.Name" + join + " ORDER BY Customers.Name", "Name"),
            (Strs{"Ann", "Bob", "Cy"}));
  Raw("INSERT INTO Orders VALUES (15, 4, 'Pad', 1, NULL)");
  // Two customers of the same name stay two rows; DISTINCT makes them one.
  EXPECT_EQ(Col("SELECT DISTINCTROW Customers.*" + join + " ORDER BY Customers.Id", "Id"),
            (Strs{"1", "2", "3", "4"}));
  EXPECT_EQ(Col("SELECT DISTINCT Customers.Name" + join, "Name").size(), 3u);
  Recordset rs = db_->OpenRecordset("SELECT DISTINCTROW Customers.*" + join + " WHERE Orders.Product = 'Pen'");
  rs->Edit();
  rs->Set("Name", Variant("Anna"));
  rs->Update();
  rs->Close();
  EXPECT_EQ(One("SELECT Name FROM Customers WHERE Id = 1"), "Anna");
  // Over one table it changes nothing and stays updatable.
  Recordset one = db_->OpenRecordset("SELECT DISTINCTROW * FROM Orders WHERE OrderId = 12");
  one->Edit();
  one->Set("Qty", Variant(9));
  one->Update();
  one->Close();
  EXPECT_EQ(One("SELECT Qty FROM Orders WHERE OrderId = 12"), "9");
}

TEST_F(SqlJetTest, TopKeepsTheRowsTiedWithTheLast) {
  EXPECT_EQ(Col("SELECT TOP 2 OrderId FROM Orders ORDER BY Product, OrderId", "OrderId"), (Strs{"11", "14"}));
  EXPECT_EQ(Col("SELECT TOP 3 OrderId FROM Orders ORDER BY Product", "OrderId").size(), 5u);
  EXPECT_EQ(Col("SELECT TOP 2 OrderId FROM Orders ORDER BY CustId", "OrderId").size(), 3u);
  EXPECT_EQ(Col("SELECT TOP 1 OrderId FROM Orders ORDER BY Qty DESC", "OrderId"), Strs{"11"});
  EXPECT_EQ(Col("SELECT TOP 50 PERCENT OrderId FROM Orders ORDER BY Qty", "OrderId"), (Strs{"12", "10", "13"}));
  EXPECT_EQ(Col("SELECT TOP 2 OrderId FROM Orders", "OrderId").size(), 2u);  // no order: no ties
  // With DISTINCT the ties are among the distinct rows.
  EXPECT_EQ(Table("SELECT DISTINCT TOP 1 CustId, Product FROM Orders ORDER BY CustId, Product DESC"),
            (Strs{"CustId|Product", "1|Pen"}));
  EXPECT_EQ(Col("SELECT DISTINCT TOP 1 CustId, Product FROM Orders ORDER BY CustId", "CustId"), (Strs{"1", "1"}));
  EXPECT_EQ(Col("SELECT DISTINCT TOP 2 Product FROM Orders ORDER BY Product DESC", "Product"), (Strs{"Pen", "Pad"}));
  EXPECT_EQ(Col("SELECT DISTINCT TOP 50 PERCENT CustId, Product FROM Orders ORDER BY CustId", "Product").size(), 2u);
  EXPECT_EQ(Col("SELECT DISTINCT TOP 50 PERCENT Product FROM Orders", "Product").size(), 2u);  // of 3
}

TEST_F(SqlJetTest, UpdateAndDeleteOverJoinsAsTheDesignerWritesThem) {
  EXPECT_EQ(Run("UPDATE Customers INNER JOIN Orders ON Customers.Id = Orders.CustId "
                "SET Orders.Qty = [Orders].[Qty]*10 WHERE (((Customers.Active)=Yes));"),
            4);
  EXPECT_EQ(Rows("SELECT Qty FROM Orders ORDER BY OrderId"), (Strs{"20", "50", "1", "30", "40"}));
  EXPECT_EQ(Run("UPDATE Customers INNER JOIN Orders ON Customers.Id = Orders.CustId "
                "SET Customers.Name = Orders.Product WHERE Orders.OrderId = 14"),
            1);
  EXPECT_EQ(One("SELECT Name FROM Customers WHERE Id = 3"), "Pad");
  // A customer met by several orders is changed once, from the first of
  // them in stored order (10 before 11 and 13).
  EXPECT_EQ(Run("UPDATE Orders INNER JOIN Customers ON Customers.Id = Orders.CustId "
                "SET Customers.Name = Orders.Product & Orders.OrderId WHERE Customers.Id = 1"),
            1);
  EXPECT_EQ(One("SELECT Name FROM Customers WHERE Id = 1"), "Pen10");
  EXPECT_EQ(Run("DELETE Orders.OrderId, Orders.Qty FROM Orders WHERE (((Orders.Qty)>30));"), 2);
  EXPECT_EQ(Rows("SELECT OrderId FROM Orders ORDER BY OrderId"), (Strs{"10", "12", "13"}));
  EXPECT_EQ(Run("DELETE DISTINCTROW Orders.* FROM Customers INNER JOIN Orders ON Customers.Id = Orders.CustId "
                "WHERE Customers.Name = 'Bob'"),
            1);
}

TEST_F(SqlJetTest, OwnerAccessRunsAndOtherDatabasesAreRefusedClearly) {
  EXPECT_EQ(Col("SELECT Id FROM Customers WHERE Id = 2 WITH OWNERACCESS OPTION;", "Id"), Strs{"2"});
  std::string text = ErrorText([&] { db_->OpenRecordset("SELECT * FROM Customers IN 'other.mdb'"); });
  EXPECT_NE(text.find("other.mdb"), std::string::npos) << text;
  EXPECT_EQ(ErrorOf([&] { db_->OpenRecordset("SELECT * FROM Customers IN 'other.mdb'"); }),
            engine::kErrInvalidOperation);
  EXPECT_EQ(ErrorOf([&] { Run("SELECT * INTO Copy IN 'other.mdb' FROM Customers"); }), engine::kErrInvalidOperation);
}

TEST_F(SqlJetTest, AggregatesOfTheDesigner) {
  EXPECT_EQ(Table("SELECT First(Qty) AS f, Last(Qty) AS l, VarP(Qty) AS vp, Var(Qty) AS v FROM Orders"),
            (Strs{"f|l|vp|v", "2|4|2|2.5"}));
  EXPECT_EQ(Table("SELECT Round(StDev(Qty), 4) AS s, Round(StDevP(Qty), 4) AS p FROM Orders"),
            (Strs{"s|p", "1.5811|1.4142"}));
  EXPECT_EQ(Table("SELECT CustId, StDev(Qty) AS s FROM Orders WHERE CustId > 1 GROUP BY CustId"),
            (Strs{"CustId|s", "2|-", "3|-"}));  // one value: no sample deviation
}

TEST_F(SqlJetTest, TextComparesFoldingAsciiLettersOnlyEverywhere) {
  Raw("INSERT INTO Customers VALUES (5, 'Émile', 0), (6, 'émile', 0), (7, 'EMILE', 0)");
  EXPECT_EQ(Col("Select Id From Customers Where Name = 'émile' Order By Id", "Id"), Strs{"6"});
  EXPECT_EQ(Col("Select Id From Customers Where Name Like 'é*' Order By Id", "Id"), Strs{"6"});
  EXPECT_EQ(Col("Select Id From Customers Where Name Like 'emile' And Name = 'Emile'", "Id"), Strs{"7"});
  EXPECT_EQ(Col("Select Count(*) As n From Customers Where Name Like '*MILE' Group By Name Order By Name", "n"),
            (Strs{"1", "1", "1"}));
}

// The saved queries of a query-type test file as the import rebuilds them:
// each opens or runs, except those needing values no one can give.
TEST_F(SqlJetTest, QueriesOfTheQueryTypeTestFileOpen) {
  for (int t = 1; t <= 3; ++t)
    Raw("CREATE TABLE Table" + std::to_string(t) + " (col1 VARCHAR(50) COLLATE NOCASE, col2 VARCHAR(50) COLLATE "
        "NOCASE, col3 VARCHAR(50) COLLATE NOCASE); INSERT INTO Table" + std::to_string(t) +
        " VALUES ('foo', 'foo', 'x'), ('20', 'buzz', 'foo');");
  Open();
  const char* selects[] = {
      "SELECT DISTINCT Table1.*, Table2.col1, Table2.col2, Table3.col3\r\nFROM (Table1 LEFT JOIN Table3 ON "
      "Table1.col1 = Table3.col1) INNER JOIN Table2 ON (Table3.col1 = Table2.col1) AND (Table3.col1 = "
      "Table2.col2)\r\nWHERE (((Table2.col2)=\"foo\" Or (Table2.col2) In (\"buzz\",\"bazz\")))\r\nORDER BY "
      "Table2.col1;",
      "TRANSFORM Count([Table2].[col2]) AS CountOfcol2\r\nSELECT Table2_1.col1, [Table2].[col3], "
      "Avg(Table2_1.col2) AS AvgOfcol2\r\nFROM (Table1 INNER JOIN Table2 ON [Table1].[col1]=[Table2].[col1]) INNER "
      "JOIN Table2 AS Table2_1 ON [Table2].[col1]=Table2_1.col3\r\nWHERE ((([Table1].[col1])>\"10\") And "
      "((Table2_1.col1) Is Not Null) And ((Avg(Table2_1.col2))>\"10\"))\r\nGROUP BY Table2_1.col1, "
      "[Table2].[col3]\r\nORDER BY [Table2].[col3]\r\nPIVOT [Table1].[col1];"};
  for (const char* q : selects) EXPECT_NO_THROW(db_->OpenRecordset(q)) << q;
  EXPECT_EQ(Run("INSERT INTO Table3 (col2, col2, col3)\r\nSELECT [Table1].[col2], [Table2].[col2], [Table2].[col3]\r\n"
                "FROM Table3, Table1 INNER JOIN Table2 ON [Table1].[col1]=[Table2].[col1];"),
            4);
  EXPECT_EQ(Run("SELECT Max(Table2.col1) AS MaxOfcol1, Table2.col2, Table3.col2 INTO Table4\r\nFROM (Table2 INNER "
                "JOIN Table1 ON Table2.col1 = Table1.col2) RIGHT JOIN Table3 ON Table1.col2 = Table3.col3\r\nGROUP BY "
                "Table2.col2, Table3.col2\r\nHAVING (((Max(Table2.col1))=\"buzz\") AND ((Table2.col2)<>\"blah\"));"),
            0);
  EXPECT_EQ(Run("DELETE Table1.col1, Table1.col2, Table1.col3\r\nFROM Table1\r\nWHERE (((Table1.col1)>\"blah\"));"), 1);
  EXPECT_EQ(ErrorOf([&] {
              Run("PARAMETERS [User Name] Text ( 255 );\r\nUPDATE Table1 SET Table1.col1 = \"foo\", Table1.col2 = "
                  "[Table2].[col3], [Table2].[col1] = [User Name]\r\nWHERE ((([Table2].[col1]) Is Not Null));");
            }),
            3061);
}

}  // namespace
}  // namespace qrw::sqltest
