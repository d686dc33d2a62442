// Dataset URN texts for the tables a statement names.
//
//   DatasetNaming naming = make_dataset_naming("snowflake", std::nullopt, "SALES", "PUBLIC");
//   write_dataset_urn(naming, {"orders"}, urn);
//   // urn == "urn:orvane:dataset:(urn:orvane:dataPlatform:snowflake,sales.public.orders,PROD)"
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include "orvane/sql_parsing/internal/syntax_tree.hpp"

namespace orvane::sql_parsing::internal {

struct DatasetNaming {
  std::string platform;        // plain platform name
  std::string instance;        // empty when none
  std::string default_db;      // lower-cased; empty when none
  std::string default_schema;  // lower-cased; empty when none
};

// `platform` may be a plain name or a data platform URN text; `platform_instance` a plain name or
// a data platform instance URN text (its last element is the instance name).
DatasetNaming make_dataset_naming(std::string_view platform,
                                  const std::optional<std::string>& platform_instance,
                                  const std::optional<std::string>& default_db,
                                  const std::optional<std::string>& default_schema);

// `parts` are lower-cased name parts of a table as written (one to three; "" for the schema of
// db..t, which is PUBLIC). Missing leading parts come from the defaults. The name is escaped as
// every URN value is, so that the text parses back with the catalogue's URN types. Written over
// `urn`, whose storage the caller reuses from table to table.
void write_dataset_urn(const DatasetNaming& naming, const NameParts& parts, std::string& urn);

}  // namespace orvane::sql_parsing::internal
