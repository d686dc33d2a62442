// `GraphQLError`: the catalogue answered a GraphQL operation with errors.
//
//   try { graph.execute_graphql(query, variables); }
//   catch (const orvane::sdk::GraphQLError& error) { error.messages(); }
//
// It is a platform::RuntimeError whose text lists every message:
// "Catalogue GraphQL errors: first message; second message".
#pragma once

#include <string>
#include <vector>

#include "platform/errors/errors.hpp"

namespace orvane::sdk {

class GraphQLError : public platform::RuntimeError {
 public:
  explicit GraphQLError(std::vector<std::string> messages);
  const std::vector<std::string>& messages() const { return messages_; }

 private:
  std::vector<std::string> messages_;
};

}  // namespace orvane::sdk
