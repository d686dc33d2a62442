#include "orvane/sdk/graphql_error.hpp"

#include <fmt/format.h>

namespace orvane::sdk {

GraphQLError::GraphQLError(std::vector<std::string> messages)
    : platform::RuntimeError(
          fmt::format("Catalogue GraphQL errors: {}", fmt::join(messages, "; "))),
      messages_(std::move(messages)) {}

}  // namespace orvane::sdk
