// The Cortex Analyst HTTP request: the address on the account host, the two headers in their
// order, the JSON body text and the time limit. `scheme` is the connection's own ("https", or
// "http" for a loopback host), so the analyst is reached as the warehouse is.
#pragma once

#include <string>
#include <string_view>

#include "platform/http/http_client.hpp"

namespace orvane_semantic_agent::cortex::internal {

platform::http::Request make_analyst_request(std::string_view scheme, const std::string& host,
                                             const std::string& token, std::string body);

}  // namespace orvane_semantic_agent::cortex::internal
