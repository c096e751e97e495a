// Reading the live schema through the real FreeTDS driver from the TDS test server's catalog.
#include <gtest/gtest.h>


#include "platform/odbc/Odbc.h"
#include "sqlserver/CatalogAttributes.h"
#include "sqlserver/ServerCatalog.h"
#include "tests/support/TdsTestServer.h"

namespace morvane {
namespace {

using platform::OdbcConnection;
using test::TdsTestServer;
using Column = TdsTestServer::CatalogColumn;

// Japanese names, an identity, NULLs, a composite key; rows of one table out of ordinal order.
TdsTestServer::Catalog sampleCatalog() {
  TdsTestServer::Catalog catalog;
  catalog.columns = {
      {"受注", "受注ID", 1, "int", {}, 10, 0, "NO", 1, 100, 5},
      {"受注", "金額", 3, "decimal", {}, 10, 2, "YES", 0, 100, 5},
      {"受注", "備考", 2, "varchar", -1, {}, {}, "YES", 0, 100, 5},
      {"明細", "受注ID", 1, "int", {}, 10, 0, "NO", 0, {}, {}},
      {"明細", "行", 2, "char", 2, {}, {}, "NO", 0, {}, {}},
  };
  catalog.keys = {{"受注", "受注ID", 1}, {"明細", "行", 2}, {"明細", "受注ID", 1}, {"明細", "行", 1, "UQ_行", false, true}};
  // A system-named default, a two-column foreign key out of order, descriptions; rows of a table
  // the columns answer does not hold are passed over.
  catalog.defaults = {{"受注", "金額", "DF__受注__金額__5EBF139D", "((0))"}, {"他", "x", "DF_x", "(1)"}};
  catalog.foreignKeys = {{"明細", "FK_明細", "行", "受注", "備考", "2"}, {"明細", "FK_明細", "受注ID", "受注", "受注ID", "1"}};
  catalog.descriptions = {{"受注", std::nullopt, "受注"}, {"受注", "備考", "メモ"}};
  return catalog;
}

std::vector<ServerTable> readFrom(TdsTestServer& server) {
  OdbcConnection connection({server.address(), "販売", "sa", "pw"}, 15);
  return readServerCatalog(connection);
}

TEST(ServerCatalog, ReadsTablesColumnsAndKeysWhetherIntegersComeAsIntOrText) {
  for (const bool asText : {false, true}) {
    auto catalog = sampleCatalog();
    catalog.integersAsText = asText;
    TdsTestServer server({.user = "sa", .password = "pw", .database = "販売", .catalog = catalog});
    const auto tables = readFrom(server);
    EXPECT_EQ(server.batches(), (std::vector<std::string>{kCatalogColumnsQuery, kCatalogKeysQuery, kCatalogDefaultsQuery,
                                                          kCatalogForeignKeysQuery, kCatalogDescriptionsQuery}));
    ASSERT_EQ(tables.size(), 2u) << asText;
    const ServerTable& order = tables[0];
    EXPECT_EQ(order.name, "受注");
    ASSERT_EQ(order.columns.size(), 3u);
    EXPECT_EQ(order.columns[1].name, "備考");
    EXPECT_EQ(order.columns[1].length, -1);
    EXPECT_EQ(order.columns[1].precision, std::nullopt);
    EXPECT_TRUE(order.columns[1].nullable);
    const ServerColumn& id = order.columns[0];
    EXPECT_TRUE(id.identity);
    EXPECT_FALSE(id.nullable);
    EXPECT_EQ(id.seed, 100);
    EXPECT_EQ(id.increment, 5);
    // The table's seed comes with every row; only the identity column keeps it.
    EXPECT_EQ(order.columns[2].seed, std::nullopt);
    EXPECT_EQ(order.columns[2].precision, 10);
    EXPECT_EQ(order.columns[2].scale, 2);
    EXPECT_EQ(order.keys, std::vector<std::string>{"受注ID"});
    EXPECT_EQ(tables[1].keys, (std::vector<std::string>{"受注ID", "行"}));
    EXPECT_EQ(tables[1].keyName, "PK_明細");
    ASSERT_EQ(tables[1].indexes.size(), 2u);
    EXPECT_EQ(tables[1].indexes[1].name, "UQ_行");
    EXPECT_TRUE(tables[1].indexes[1].uniqueConstraint && tables[1].indexes[1].unique);
    EXPECT_FALSE(tables[1].indexes[1].primaryKey);
    EXPECT_EQ(tables[1].indexes[1].columns, std::vector<std::string>{"行"});
    EXPECT_EQ(tables[1].columns[1].length, 2);
    EXPECT_EQ(order.columns[2].defaultValue, "((0))");
    EXPECT_EQ(order.columns[2].defaultName, "DF__受注__金額__5EBF139D");
    EXPECT_EQ(order.description, "受注");
    EXPECT_EQ(order.columns[1].description, "メモ");
    ASSERT_EQ(tables[1].foreignKeys.size(), 1u);
    EXPECT_EQ(tables[1].foreignKeys[0].columns, (std::vector<std::string>{"受注ID", "行"}));
    EXPECT_EQ(tables[1].foreignKeys[0].referencedColumns, (std::vector<std::string>{"受注ID", "備考"}));
    EXPECT_EQ(tables[1].columns[0].referenceTable, "");  // two columns: no reference cell can say it
  }
}

TEST(ServerCatalog, AnEmptyDatabaseHasNoTablesAndADroppedConnectionIsAnOdbcError) {
  TdsTestServer empty({.user = "sa", .password = "pw", .database = "販売", .catalog = TdsTestServer::Catalog{}});
  EXPECT_TRUE(readFrom(empty).empty());
  // Closed mid-answer, or no result set at all (not an empty database).
  for (const bool hangUp : {true, false}) {
    auto catalog = sampleCatalog();
    catalog.hangUpInColumns = hangUp;
    catalog.noResultSet = !hangUp;
    TdsTestServer server({.user = "sa", .password = "pw", .database = "販売", .catalog = catalog});
    EXPECT_THROW(readFrom(server), platform::OdbcError) << hangUp;
  }
}

TEST(ServerCatalog, AnAnswerWithoutEndIsCancelledAtItsLimitAndTheConnectionGoesOn) {
  auto catalog = sampleCatalog();
  catalog.endlessColumns = true;
  TdsTestServer server({.user = "sa", .password = "pw", .database = "販売", .catalog = catalog});
  OdbcConnection connection({server.address(), "販売", "sa", "pw"}, 15, 10);
  for (const auto& [limits, reason] : {std::pair(platform::QueryLimits{1000, SIZE_MAX}, "1000 行を超えた"),
                                       std::pair(platform::QueryLimits{SIZE_MAX, 5000}, "5000 バイトを超えた")}) {
    try {
      connection.query(kCatalogColumnsQuery, limits);
      ADD_FAILURE() << reason;
    } catch (const platform::OdbcError& error) {
      EXPECT_NE(std::string(error.what()).find(reason), std::string::npos) << error.what();
    }
  }
  EXPECT_EQ(connection.query(kCatalogKeysQuery).size(), 4u);
}

TEST(ServerCatalog, AnswersThatAreNotNumbersOrHaveTheWrongWidthAreRefused) {
  using Row = OdbcConnection::Row;
  auto columnRow = [](std::optional<std::string> ordinal, std::optional<std::string> seed) {
    return Row{"T", "a", ordinal, "int", {}, "10", "0", "NO", "1", seed, "1"};
  };
  // A numeric(38,0) seed may come with a decimal point.
  const auto tables = catalogFromRows({columnRow(" 1 ", "-7.000")}, {});
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_EQ(tables[0].columns[0].seed, -7);
  EXPECT_THROW(catalogFromRows({columnRow("x1", "1")}, {}), CatalogError);
  EXPECT_THROW(catalogFromRows({columnRow("1", "1.5")}, {}), CatalogError);
  EXPECT_THROW(catalogFromRows({columnRow(std::nullopt, "1")}, {}), CatalogError);
  EXPECT_THROW(catalogFromRows({Row{"T", "a", "1"}}, {}), CatalogError);
  EXPECT_THROW(catalogFromRows({}, {Row{"T", "a"}}), CatalogError);
  // Names named twice, or twice but for case or width: one object on the server.
  const std::vector<std::vector<Row>> doubled = {
      {columnRow("1", "1"), columnRow("2", "1")},
      {columnRow("1", "1"), Row{"T", "Ａ", "2", "int", {}, "10", "0", "NO", "0", {}, {}}},
      {columnRow("1", "1"), Row{"t", "b", "1", "int", {}, "10", "0", "NO", "0", {}, {}}},
  };
  for (const auto& rows : doubled) EXPECT_THROW(catalogFromRows(rows, {}), CatalogError) << *rows[1][0];
  const Row key{"T", "PK_T", "1", "0", "1", "1", "a"};
  EXPECT_THROW(catalogFromRows({columnRow("1", "1")}, {key, key}), CatalogError);
  // The attribute answers: a wrong width, a NULL, a default or description twice, a text over
  // the bound, a key column's place that is no number or comes twice.
  const Row twice[] = {{"T", "a", "DF", "(1)"}, {"T", "A", "DF2", "(2)"}};
  const Row foreign = {"T", "FK", "a", "T", "a", "1"};
  const std::vector<std::vector<Row>> refused[] = {
      {{Row{"T", "a", "DF"}}, {}, {}}, {{Row{"T", std::nullopt, "DF", "(1)"}}, {}, {}}, {{twice[0], twice[1]}, {}, {}},
      {{}, {}, {Row{"T", std::nullopt, "x"}, Row{"t", std::nullopt, "y"}}}, {{}, {}, {Row{"T", "a", std::string(20000, 'x')}}},
      {{}, {Row{"T", "FK", "a", "T", "a", "one"}}, {}}, {{}, {foreign, foreign}, {}}};
  for (const auto& answers : refused) {
    auto copy = tables;
    EXPECT_THROW(addCatalogAttributes(copy, answers[0], answers[1], answers[2]), CatalogError);
  }
}

}  // namespace
}  // namespace morvane
