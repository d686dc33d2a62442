// The Cortex Analyst HTTP request: the address on the account host, the two headers in their
// order, the JSON body text and the time limit.
#pragma once

#include <string>

#include "platform/http/http_client.hpp"

namespace orvane_semantic_agent::cortex::internal {

platform::http::Request make_analyst_request(const std::string& host, const std::string& token,
                                             std::string body);

}  // namespace orvane_semantic_agent::cortex::internal
