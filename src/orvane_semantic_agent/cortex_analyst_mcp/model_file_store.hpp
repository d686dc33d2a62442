// The per-call semantic model files of one server run, in the run's temporary directory.
//
//   ModelFileStore store(directory.path());
//   std::filesystem::path file = store.write(model.to_yaml());
//   // <directory>/semantic_model_1b4e28ba_2fa1_41d2_883f_0016d3cca427.yml
//
// Every write makes a new file, readable only by its owner (mode 0600), named "semantic_model_"
// + a fresh random UUID with "-" replaced by "_" + ".yml" (55 characters). Only the newest
// `keep` files written by the store stay: a server that runs for weeks must not fill its disk,
// and whoever inspects a recent call still finds its model.
//
// Thread-safe: tool calls running at the same time may write at once.
#pragma once

#include <cstddef>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>

namespace orvane_semantic_agent::cortex_analyst_mcp {

class ModelFileStore {
 public:
  static constexpr std::size_t kDefaultKeep = 100;

  explicit ModelFileStore(std::filesystem::path directory, std::size_t keep = kDefaultKeep);

  // Writes `yaml_text` to a new file and returns its path; then removes the oldest files beyond
  // `keep`. Throws platform::RuntimeError naming the file when it cannot be written (a partly
  // written file is removed). A file that cannot be removed is logged and left.
  std::filesystem::path write(std::string_view yaml_text);

  // "semantic_model_<request id with '_' for '-'>.yml"
  static std::string file_name_for(std::string_view request_id);

 private:
  std::filesystem::path directory_;
  std::size_t keep_;
  std::mutex mutex_;
  std::deque<std::filesystem::path> written_;  // oldest first
};

}  // namespace orvane_semantic_agent::cortex_analyst_mcp
