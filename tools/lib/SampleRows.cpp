// The fixed part of the sample: a small print shop whose rows give every
// conversion of the upgrade work to do, including the awkward cases
// (Null and blank values, double quotes in names, duplicates and orphans,
// both forms of the re-order notes, templates with gaps in their items).
#include <string>
#include <vector>

#include "SampleParts.h"

namespace qrw::sample {

namespace {
const char* const kNoCustomer = "NOCUSTOMER                    NOCUST";

std::string Options200() {
  // Positional option characters of the system record; position 127 is not
  // "3" yet.
  std::string s;
  const char* cycle = "YN01YYN2";
  for (int i = 0; i < 200; ++i) s += cycle[(i * 5 + i / 8) % 8];
  if (s[126] == '3') s[126] = 'N';
  return s;
}
}  // namespace

OrderWriter::OrderWriter(SqliteWriter& w)
    : header(w, "OrderHeader",
             {"Control", "StatType", "Printed", "custcode", "OrderDate", "DueDate", "DueTime",
              "fixedDueDate", "OrderDescription", "DecisionDate", "SALESMAN", "Discount",
              "TaxRate", "FedRate", "Contact", "Phone", "PO", "WOComment", "InvComment",
              "OrderTotal", "Paid"}),
      details(w, "ItemDetails",
              {"Control", "Item", "ItemType", "Description", "Center", "Quantity", "Copies",
               "Up", "PriceAdj", "Originals", "InkCost", "ItemTot", "PaperName", "PaperSize",
               "PressName", "Sides", "Taxable", "DateEntered"}),
      bookPages(w, "ItemBookPages",
                {"Control", "Item", "PageGroup", "Pages", "PaperName", "PaperSize", "Copies",
                 "InkColors"}),
      inks(w, "itemInks",
           {"Control", "Item", "Ink", "SetUp", "Side", "Desc", "Center", "Coverage", "Cost"}),
      prePress(w, "ItemPrePress", {"Control", "Item", "Selection", "Hours", "Rate", "Price"}),
      bindery(w, "ItemBindery",
              {"Control", "Item", "Selection", "Quantity", "SetupPrice", "RunPrice", "Price"}),
      special(w, "SpecialOptions", {"Control", "Item", "Description", "Cost", "Price"}),
      quantities(w, "QuoteQuantities", {"Control", "Item", "Quantity", "Price", "Selected"}),
      options(w, "ItemOptions", {"Control", "Item", "OptionName", "OptionValue", "Price"}),
      postage(w, "ItemPostage", {"Control", "Item", "PostageClass", "Pieces", "Rate", "Price"}) {}

void OrderWriter::Header(const std::string& control, Val statType, Val custcode,
                         Val orderDate, Val description, Val contact, Val woComment,
                         Val invComment, Val total) {
  bool tmpl = control.rfind("ST", 0) == 0;
  header.Row({control, statType, tmpl ? "T" : "F", custcode, orderDate, orderDate,
              "5:00", Bool(false), description, orderDate, "HOUSE", 0, 7.25, 0, contact,
              tmpl ? "" : "555-0100", tmpl ? "" : "PO-1", woComment, invComment, total,
              tmpl ? Val(0) : total});
}

void OrderWriter::AddItem(const std::string& control, long item, const Item& it, int inkRows,
                          int quantityRows) {
  ++items;
  details.Row({control, item, it.type, it.description, it.center, 1000, it.copies, it.up,
               it.priceAdj, it.originals, it.inkCost, it.itemTot, "70# Offset", "8.5 x 11",
               "Offset 2 Color", 2, Bool(true), "2006-05-01 10:30:00"});
  bookPages.Row({control, item, 1, 16, "80# Gloss Text", "8.5 x 11", 500, "4/4"});
  for (int k = 0; k < inkRows; ++k)
    inks.Row({control, item, k == 0 ? "Process Black" : "PMS 286 Blue", 12.5,
              k == 0 ? "Front" : "Back", "Standard ink", "PR", 0.25, 3.75});
  prePress.Row({control, item, "Proofing", 0.5, 45.0, 22.5});
  bindery.Row({control, item, "Cutting", 1000, 2.5, 0.01, 12.5});
  special.Row({control, item, "Hand inserting", 5.0, 8.0});
  for (int k = 0; k < quantityRows; ++k)
    quantities.Row({control, item, 500L * (k + 1), 95.0 + 40.0 * k, Bool(k == 0)});
  options.Row({control, item, "Shrink Wrap", "Bundles of 50", 4.0});
  postage.Row({control, item, "First Class", 500, 0.42, 210.0});
}

void WriteFixedRows(SqliteWriter& w, OrderWriter& o) {
  // Large-format printers: three printers with 2, 1 and 3 resolutions,
  // stored out of Factor order.
  {
    Inserter r(w, "rPrinter2ResolutionLF",
               {"PrinterName", "Resolution", "Factor", "PricePerSqFt", "InkMultiplier"});
    r.Row({"Banner Jet 126", "1440 x 1440", 3.0, 4.5, 1.6});
    r.Row({"Grand Format 60", "720 x 720", 2.0, 3.0, 1.2});
    r.Row({"Poster Pro 44", "600 x 600", 1.0, 2.5, 1.0});
    r.Row({"Banner Jet 126", "360 x 720", 1.0, 2.0, 0.8});
    r.Row({"Grand Format 60", "360 x 360", 1.0, 2.0, 0.9});
    r.Row({"Banner Jet 126", "720 x 1440", 2.0, 3.25, 1.2});

    Inserter p(w, "LFPrinters",
               {"Code", "Selection", "PRODCODE", "MaxWidth", "inkIndoorPercent",
                "inkOutdoorPercent", "SqFtPerHour", "MinCharge"});
    p.Row({10, "Grand Format 60", "40", 60.0, 80.0, 100.0, 120.0, 25.0});
    p.Row({20, "Poster Pro 44", "40", 44.0, 75.0, 95.0, 90.0, 20.0});
    p.Row({30, "Banner Jet 126", "40", 126.0, 90.0, 110.0, 300.0, 40.0});
  }

  // Settings records: one each.
  {
    Inserter d(w, "Defaults",
               {"s7", "CutStock", "Fold", "Pad", "FinalTrim", "Collate", "Deliver", "TaxRate",
                "MinimumCharge", "DefaultPress", "MarkUp", "CompanyName"});
    d.Row({"NYN10Y0A2B3C4D539011", "Cutting", "Folding", "Padding", "Final Trim", "Collating",
           nullptr, 7.25, 15.0, "Offset 2 Color", 35.0, "Riverside Print & Copy"});
    Inserter s(w, "System", {"options", "Program", "CompanyName", "SerialNumber", "LastBackup"});
    s.Row({Options200(), "QRW", "Riverside Print & Copy", "QRW-0042-7781", "2008-06-30"});
  }

  {
    Inserter a(w, "AdjReasons", {"Reasons"});
    for (const char* r : {"Customer error", "Pricing adjustment", "Damaged in shipping"})
      a.Row({r});

    Inserter s(w, "OtherServices", {"Code", "Selection", "Price", "Unit", "Taxable"});
    s.Row({10, "Delivery", 15.0, "Trip", Bool(true)});
    s.Row({20, "Design Time", 60.0, "Hour", Bool(true)});
    s.Row({30, "Rush Fee", 25.0, "Job", Bool(false)});

    Inserter q(w, "tPrintQuote",
               {"QuoteNumber", "custcode", "QuoteDate", "Description", "Quantity", "Price",
                "SALESMAN", "Contact"});
    q.Row({5001, "ACME01", "2008-02-11", "Letterhead, 2 color", 2500, 189.0, "HOUSE", "Ann"});
    q.Row({5002, "BLUE01", "2008-03-02", "Tri-fold brochure", 5000, 612.5, "HOUSE", "Bob"});
    q.Row({5003, "RIVER1", "2008-03-19", "Banner 3 x 8", 1, 96.0, "HOUSE", nullptr});
  }

  // Customers: a company name to copy, a Null one, and one with quotes.
  {
    Inserter c(w, "Customer",
               {"CUSTCODE", "bCOMPANY", "bADR1", "bADR2", "bCITY", "bSTATE", "bZIP", "Phone",
                "Fax", "EMail", "Contact", "Terms", "TaxExempt", "CreditLimit", "Since",
                "Notes"});
    c.Row({"ACME01", "Acme Print", "12 Main St", nullptr, "Springfield", "IL", "62701",
           "217-555-0101", nullptr, "orders@acmeprint.example", "Ann", "Net 30", Bool(false),
           5000.0, "1999-04-12", "Prefers proofs by e-mail"});
    c.Row({"BLUE01", "Blue Sky Graphics", "400 Lake Rd", "Suite 2", "Madison", "WI", "53703",
           "608-555-0144", "608-555-0145", nullptr, "Bob", "Net 15", Bool(false), 2500.0,
           "2001-09-01", nullptr});
    c.Row({"JOES01", "Joe's \"Best\" Signs", "9 Elm Ave", nullptr, "Peoria", "IL", "61602",
           "309-555-0190", nullptr, nullptr, "Joe", "COD", Bool(false), 0.0, "2003-01-20",
           nullptr});
    c.Row({"NONAME", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
           nullptr, nullptr, nullptr, Bool(false), nullptr, nullptr, nullptr});
    c.Row({"RIVER1", "Riverside Church", "1 Church St", nullptr, "Riverside", "IL", "60546",
           "708-555-0111", nullptr, "office@riverside.example", "Pat", "Net 30", Bool(true),
           1000.0, "2004-06-15", "Tax exempt certificate on file"});
    c.Row({kNoCustomer, "No customer", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
           nullptr, nullptr, nullptr, nullptr, Bool(false), nullptr, nullptr, nullptr});
  }

  // Pre-press options: one complete record and three with Null, blank,
  // "0" and zero values of every field type.
  {
    Inserter p(w, "PrePressOptions",
               {"Code", "Selection", "Action", "Center", "Class", "Minutes", "Rate",
                "Cost_Min", "Taxable", "Outsourced", "Notes", "LastChanged", "Factor",
                "Priority"});
    p.Row({10, "Scanning", "Scan", "PP", 1, 15, 45.5, 10.0, Bool(true), Bool(false),
           "Flatbed up to 11 x 17", "2007-01-15", 1.0, 1});
    p.Row({20, "Proofing", nullptr, "   ", nullptr, nullptr, 0.0, nullptr, nullptr,
           Bool(false), nullptr, nullptr, nullptr, nullptr});
    p.Row({30, "Film Output", "", "0", 0, 0, nullptr, 0.0, Bool(false), nullptr, "", nullptr,
           0.0, 0});
    p.Row({nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
           nullptr, nullptr, nullptr, nullptr, nullptr});
  }

  // Large-format stock: papers and laminates, a name with a double quote,
  // a stock without vendor.
  {
    Inserter s(w, "SheetStockLF",
               {"Code", "Selection", "PaperType", "ParentSize", "Vendor", "Min_Cost",
                "Spec_order", "qFactor", "rollStock", "LaminateStock", "Width", "Caliper"});
    s.Row({10, "Matte Bond", "Bond", "24 x 150", "Paper Source Inc", 5.0, Bool(false),
           Bool(true), Bool(true), Bool(false), 24.0, 4.5});
    s.Row({20, "Photo Gloss", "Photo", "36 x 100", "Imaging \"Pro\" Supply", 10.0, Bool(false),
           Bool(true), Bool(true), Bool(false), 36.0, 9.0});
    s.Row({30, "Vinyl 3\" Core", "Vinyl", "54 x 150", "Sign Depot", 15.0, Bool(true), Bool(true),
           Bool(true), Bool(false), 54.0, 13.0});
    s.Row({40, "Gloss Laminate 3 mil", "Gloss", "38 x 500", "LamCo", 8.0, Bool(false),
           Bool(true), Bool(true), Bool(true), 38.0, 3.0});
    s.Row({50, "Matte Laminate 5 mil", "Matte", "51 x 300", "LamCo", 8.0, Bool(false),
           Bool(true), Bool(true), Bool(true), 51.0, 5.0});
    s.Row({60, "Canvas", "Canvas", "44 x 40", nullptr, nullptr, Bool(false), Bool(false),
           Bool(true), Bool(false), 44.0, 21.0});

    Inserter c(w, "rStock2CostLF", {"PaperName", "paperSize", "MarkUp", "Cost", "MinCost"});
    c.Row({"Matte Bond", "24", 2.0, 0.35, 5.0});
    c.Row({"Matte Bond", "36", 2.0, 0.38, 5.0});
    c.Row({"Photo Gloss", "36", 2.2, 0.95, 10.0});
    c.Row({"Vinyl 3\" Core", "54", 2.5, 1.1, 15.0});
    c.Row({"Gloss Laminate 3 mil", "38", 2.0, 0.4, 8.0});
    c.Row({"Gloss Laminate 3 mil", "25", 2.0, 0.3, 8.0});
    c.Row({"Matte Laminate 5 mil", "51", 2.0, 0.55, 8.0});
    c.Row({"Canvas", "44", 3.0, 2.75, 20.0});
  }

  // Sheet stock and envelopes: vendors with quotes, two vendors for one
  // stock name, empty and Null vendors.
  {
    Inserter s(w, "SheetStock",
               {"Code", "Selection", "PaperType", "ParentSize", "Weight", "Color", "Vendor",
                "Cost"});
    s.Row({10, "80# Gloss Text", "Text", "23 x 35", "80#", "White", "Midwest Paper", 55.2});
    s.Row({20, "70# Offset", "Offset", "25 x 38", "70#", "Natural", "Midwest Paper", 40.0});
    s.Row({21, "70# Offset", "Offset", "25 x 38", "70#", "Natural", "Acme \"Paper\" Co", 39.5});
    s.Row({30, "Cougar \"Super\" Smooth", "Cover", "8.5 x 11", "100#", "White", "", 12.0});
    s.Row({40, "Index 110#", "Index", "25.5 x 30.5", "110#", "White", nullptr, 48.0});

    Inserter e(w, "Envelopes", {"Code", "Selection", "EnvSize", "Vendor", "Cost"});
    e.Row({10, "#10 Regular", "4.125 x 9.5", "Envelope Express", 22.5});
    e.Row({20, "#9 Reply", "3.875 x 8.875", nullptr, 24.0});
  }

  // Stock item numbers: old roll-paper type, three duplicates, orphans by
  // stock and by size, a mounting board, sheet and envelope stock.
  {
    Inserter n(w, "rItemNumb", {"StockName", "StockSize", "Color", "StockType", "ItemNumb"});
    n.Row({"Matte Bond", "24", "White", "SheetStockLF", "LF-1001"});
    n.Row({"Matte Bond", "24", "White", "SheetStockLF", "LF-1001"});
    n.Row({"Matte Bond", "24", "NONE", "SheetStockLF", "LF-1002"});
    n.Row({"Matte Bond", "42", "White", "SheetStockLF", "LF-1003"});
    n.Row({"Photo Gloss", "36", "White", "SheetStockLF", "LF-2001"});
    n.Row({"Discontinued Satin", "24", "White", "SheetStockLF", "LF-9001"});
    n.Row({"Gloss Laminate 3 mil", "38", "Clear", "RollLaminateLF", "LAM-38"});
    n.Row({"Old Matte Laminate", "25", "NONE", "RollLaminateLF", "LAM-OLD"});
    n.Row({"Foam Board 3/16", "48 x 96", "White", "MountingBoardLF", "MB-1"});
    n.Row({"80# Gloss Text", "23 x 35", "White", "SheetStock", "SS-100"});
    n.Row({"70# Offset", "25 x 38", "Natural", "SheetStock", "SS-200"});
    n.Row({"Cougar \"Super\" Smooth", "8.5 x 11", "White", "SheetStock", "SS-300"});
    n.Row({"Index 110#", "25.5 x 30.5", "White", "SheetStock", ""});
    n.Row({"#10 Regular", "4.125 x 9.5", "White", "Envelopes", "ENV-10"});
    n.Row({"#9 Reply", "3.875 x 8.875", "White", "Envelopes", nullptr});

    Inserter c(w, "StockColors", {"sType", "StockName", "Color"});
    c.Row({"SheetStockLF", "Matte Bond", "White"});
    c.Row({"SheetStockLF", "Photo Gloss", "Bright White"});
    c.Row({"SheetStock", "70# Offset", "Natural"});
    c.Row({"Envelopes", "#10 Regular", "White"});

    Inserter m(w, "StockMoreInfo",
               {"ItemNumb", "StockName", "Manufacturer", "CoatedSides", "Finish", "Grade",
                "Caliper", "Brightness"});
    m.Row({"SS-100", "80# Gloss Text", "Northern Mills", "C2S", "Gloss", "No. 1", 4.1, 92});
    m.Row({"SS-200", "70# Offset", "Northern Mills", "Uncoated", "Vellum", "No. 2", 5.0, 88});
    m.Row({"SS-300", "Cougar \"Super\" Smooth", "Paper \"Works\"", "Uncoated", "Smooth",
           "Premium", 9.5, 98});
    m.Row({"LF-1001", "Matte Bond", "Wide Rolls Ltd", "C1S", "Matte", nullptr, 4.5, 90});
    m.Row({"ENV-10", "#10 Regular", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr});
  }

  // Printers, presses and their rate tables; the first press is the
  // template press.
  {
    Inserter p(w, "NewPrinters",
               {"Code", "printerNumber", "SELECTION", "PRODCODE", "Resource", "ColorPPH",
                "BWPPH", "MinCharge", "MaxStockWidth", "FileName", "MaxImageWidth",
                "MaxStockLength", "MaxImageLength", "ink100Percent", "Color", "Factor11x17",
                "WillDuplex", "WillCollate"});
    p.Row({10, 1, "Digital Color 1", "20", "Digital Press", 3000, 6000, 5.0, 13.0,
           "C:\\Quarrow\\press1.dat", 12.5, 19.0, 18.5, 1.2, Bool(true), 2.0, Bool(true),
           Bool(true)});
    p.Row({20, 2, "Digital BW 2", "20", "Digital Press", 0, 9000, 3.0, 12.0,
           "C:\\Quarrow\\press2.dat", 11.5, 18.0, 17.5, 1.0, Bool(false), 2.0, Bool(true),
           Bool(true)});
    p.Row({30, 3, "Wide Copier", "21", "Copy Room", 1200, 2400, 2.0, 36.0, nullptr, 35.0,
           600.0, 590.0, 1.5, Bool(true), 1.0, Bool(false), Bool(false)});

    Inserter r(w, "PressRates",
               {"Selection", "Code", "SetupCharge", "HourlyRate", "MaxSheetSize"});
    r.Row({"Offset 2 Color", 10, 25.0, 65.0, "19 x 25"});
    r.Row({"Offset 4 Color", 20, 45.0, 95.0, "20 x 28"});
    r.Row({"Duplicator", 30, 10.0, 40.0, "11 x 17"});

    std::vector<std::string> cols = {"PressName", "PaperName", "PaperSize", "SetUpTime",
                                     "StartOverRun", "RunOverRunPercent", "PressMultiple",
                                     "ClickCharge"};
    Inserter pp(w, "rPaper2Press", cols);
    pp.Row({"Offset 2 Color", "70# Offset", "8.5 x 11", 0.25, 50, 2.0, 1.0, 0.0});
    pp.Row({"Offset 2 Color", "70# Offset", "11 x 17", 0.3, 75, 2.5, 1.0, 0.0});
    pp.Row({"Offset 2 Color", "80# Gloss Text", "8.5 x 11", 0.35, 100, 3.0, 1.1, 0.0});
    pp.Row({"Offset 4 Color", "80# Gloss Text", "11 x 17", 0.5, 150, 4.0, 1.2, 0.0});
    pp.Row({"Duplicator", "70# Offset", "8.5 x 11", 0.1, 20, 1.0, 1.0, 0.01});
    Inserter ep(w, "rEnvelope2Press", cols);
    ep.Row({"Offset 2 Color", "#10 Regular", "4.125 x 9.5", 0.25, 40, 2.0, 1.0, 0.0});
    ep.Row({"Offset 2 Color", "#9 Reply", "3.875 x 8.875", 0.25, 40, 2.0, 1.0, 0.0});
    ep.Row({"Duplicator", "#10 Regular", "4.125 x 9.5", 0.1, 20, 1.0, 1.0, 0.01});
  }

  // Bindery options and rates; the default cutting option has rate rows
  // for short and long paper sizes, and some actions are missing.
  {
    Inserter f(w, "BinderyRatesFlatFactor", {"BinderyName", "Quantity", "Factor"});
    f.Row({"Folding", 1000, 1.0});
    f.Row({"Folding", 5000, 0.85});
    f.Row({"Padding", 100, 1.0});

    Inserter b(w, "BinderyOptions",
               {"Code", "Selection", "Action", "Cost_Min", "Lift", "Data", "Class", "Center",
                "ppType", "RepetitionDescription", "ActionNumber"});
    b.Row({10, "Cutting", "Cut", 5.0, 500, Bool(false), 1, "40", "Paper", "Number of cuts.", 1});
    b.Row({20, "Folding", "Fold", 7.5, 0, Bool(false), 1, "40", "Paper", "Number of folds.", 2});
    b.Row({30, "Padding", "Pad", 5.0, 0, Bool(true), 1, "40", "Paper", "Sheets per pad.", 3});
    b.Row({40, "Final Trim", "Trim", 5.0, 500, Bool(false), 1, "40", "Paper", nullptr, 4});
    b.Row({50, "Collating", "Collate", 3.0, 0, Bool(false), 2, "40", "Paper", nullptr, 5});

    Inserter r(w, "rPaper2Bindery",
               {"BinderyName", "PaperName", "PaperSize", "Action", "SetupPrice", "RunPrice",
                "StartOverRun", "RunOverRunPercent"});
    r.Row({"Cutting", "80# Gloss Text", "A4", "Cut", 2.5, 0.5, 10, 2.0});
    r.Row({"Cutting", "70# Offset", "11", nullptr, 2.5, 0.45, 10, 2.0});
    r.Row({"Cutting", "70# Offset", "8.5 x 11", "Cut", 2.5, 0.4, 10, 2.0});
    r.Row({"Folding", "70# Offset", "11", "", 5.0, 0.8, 25, 3.0});
    r.Row({"Padding", "70# Offset", "8.5", nullptr, 3.0, 0.25, 0, 0.0});

    Inserter e(w, "rEnvelope2Bindery",
               {"BinderyName", "EnvelopeName", "Action", "SetupPrice", "RunPrice",
                "StartOverRun", "RunOverRunPercent"});
    e.Row({"Folding", "#10 Regular", "Fold", 5.0, 0.6, 25, 3.0});
    e.Row({"Collating", "#9 Reply", nullptr, 3.0, 0.2, 0, 0.0});

    Inserter v(w, "VDOptions",
               {"Code", "Selection", "VDType", "NameRows", "NameColumns", "RequestQuantity",
                "Price"});
    v.Row({10, "Mail Merge", "Merge", 10, 3, 250.0, 25.0});
    v.Row({20, "Numbering", "Number", 1, 1, 500.0, 10.0});
    v.Row({30, "Labels", nullptr, nullptr, nullptr, nullptr, nullptr});
  }

  // Orders. Their comments hold the re-order notes in every form the
  // product ever wrote, and some that must be left alone.
  using Item = OrderWriter::Item;
  const char* crlf = "\r\n";
  struct Note {
    Val wo, inv;
  };
  const Note notes[] = {
      {std::string("Re-Order From 00009001 By JSMITH 03/14/2003") + crlf +
           "Customer supplies paper",
       nullptr},
      {"Re-Order From 00009002, 04/02/2004 By Mary Jones",
       std::string("Paid by check 1041") + crlf + "Reordered as 00010005" + crlf +
           "Thank you for your business"},
      {std::string("Call Tom before printing") + crlf +
           "Re-Order From 00009003 By TOM 11/30/2005" + crlf + "Deliver to back door",
       "Reordered as 00010009 on 01/05/2006"},
      {std::string("Re-Order From 0001") + crlf + "proof first", nullptr},
      {"re-order from 00009005 by ANN 02/02/2002", "Net 30"},
      {"Re-Order From 00009006, 06/06/2006", ""},
      {nullptr, std::string("Reordered as 00010011") + crlf + "Reordered as 00010012" + crlf +
                    "Balance due on delivery"},
      {std::string("Rush") + crlf + "No proof needed", nullptr},
      {"Re-Order From 00009009 By KIM 12/01/2007", nullptr},
      {nullptr, nullptr},
  };
  const char* customers[] = {"ACME01", "BLUE01", "JOES01", "RIVER1", "NONAME"};
  for (int k = 0; k < 10; ++k) {
    o.Header(ControlNumber(10001 + k), "O", customers[k % 5], "2008-0" + std::to_string(1 + k % 9) + "-15",
             "Order " + std::to_string(k + 1), "Ann", notes[k].wo, notes[k].inv, 250.0 + k);
  }
  // Many-up general items and the items that must stay as they are.
  o.AddItem("00010001", 1, Item{"General", "4-up postcards", 4, nullptr, 12.0, 3.0, 250, 60.0});
  o.AddItem("00010001", 2, Item{"General", "5-up cards", 5, 0.0, 10.0, 2.0, 500, 100.0});
  o.AddItem("00010001", 3, Item{"General", "5-up cards, no total", 5, nullptr, 10.0, 2.0, 500, 0.0});
  o.AddItem("00010001", 4, Item{"General", "6-up labels", 6, nullptr, 8.0, 1.0, 300, 50.0});
  o.AddItem("00010001", 5, Item{"Sheets", "4-up flyers", 4, nullptr, 8.0, 1.0, 300, 50.0});
  o.AddItem("00010001", 6, Item{"General", "4-up, adjusted", 4, 3.0, 7.0, 1.0, 200, 40.0});
  o.AddItem("00010002", 1, Item{"BinderyPreP", "Drill and pad", nullptr, nullptr, nullptr,
                                nullptr, 100, 30.0, "PP"});
  o.AddItem("00010002", 2, Item{"General", "4-up, no originals", 4, nullptr, 0.0, 1.0, 100, 20.0});
  o.AddItem("00010002", 3, Item{"General", "5-up, total unknown", 5, nullptr, 6.0, 1.5, 400,
                                nullptr});
  o.AddItem("00010002", 4, Item{"General", "Up unknown", nullptr, nullptr, 6.0, 1.5, 400, 80.0});
  o.AddItem("00010003", 1, Item{"Sheets", "Letterhead", 1, nullptr, nullptr, 4.0, 2500, 189.0});
  o.AddItem("00010003", 2, Item{"Envelopes", "#10 envelopes", 1, nullptr, nullptr, 3.0, 2500,
                                150.0});
  for (int k = 4; k <= 10; ++k) {
    const std::string control = ControlNumber(10000 + k);
    o.AddItem(control, 1, Item{"Sheets", "Flyers", 2, nullptr, 1.0, 2.0, 1000, 90.0});
    o.AddItem(control, 2, Item{"NewPrinters", "Color copies", 1, nullptr, nullptr, 0.5, 200,
                               40.0});
  }

  // The saved order templates: ST0001 with items of every tab (numbered
  // with gaps), and older templates ST0002 to ST0004.
  o.Header("ST0001", "S", kNoCustomer, "2005-01-03", "Saved Templates", "Single", nullptr,
           nullptr, 0.0);
  struct TemplateItem {
    long item;
    Val type;
    const char* description;
  };
  const TemplateItem st1[] = {
      {1, "Sheets", "Letterhead template"},        {2, "Booklets", "Saddle-stitched booklet"},
      {3, "Business Cards", "Business cards"},     {5, "Envelopes", "#10 window envelopes"},
      {6, "NewPrinters", "Digital color copies"},  {8, "LargeFormat", "Vinyl banner"},
      {9, "General", "General item"},              {10, "Mail", "Mailing service"},
      {12, "BinderyPreP", "Drill, pad and wrap"},  {13, "Pads", "Note pads"},
      {14, "Copies", "Black and white copies"},    {15, "Carbonless Forms", "3-part NCR forms"},
      {16, "Labels", "Roll labels"},               {17, nullptr, "Untyped item"},
      {20, "pads", "Scratch pads"},
  };
  for (const TemplateItem& t : st1)
    o.AddItem("ST0001", t.item, Item{t.type, t.description, 1, nullptr, nullptr, 1.0, 100, 0.0},
              2, 2);
  const char* older[] = {"ST0002", "ST0003", "ST0004"};
  for (int k = 0; k < 3; ++k) {
    o.Header(older[k], "S", kNoCustomer, "2006-02-0" + std::to_string(k + 1),
             std::string("Old template ") + std::to_string(k + 2), "Single", nullptr, nullptr,
             0.0);
    o.AddItem(older[k], 1, Item{"Sheets", "Old template sheet", 1, nullptr, nullptr, 1.0, 100, 0.0});
    o.AddItem(older[k], 3, Item{"Pads", "Old template pad", 1, nullptr, nullptr, 1.0, 100, 0.0});
  }
}

}  // namespace qrw::sample
