// Small helpers for file transfer tests: write and read whole files, gunzip, varied bytes.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

#include "tests/fakes/snowflake/gzip.hpp"

namespace osa_test {

inline void write_file(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string read_file(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error("cannot read " + path.string());
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

inline std::string gunzip(const std::string& data) {
  auto inflated = fakes::warehouse::gzip_decompress(data);
  if (!inflated) throw std::runtime_error("not a complete gzip stream");
  return *inflated;
}

// Bytes that do not compress to nothing: a counter mixed through a simple generator.
inline std::string varied_bytes(size_t size) {
  std::string bytes(size, '\0');
  std::uint32_t state = 2463534242u;
  for (char& c : bytes) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    c = static_cast<char>('a' + state % 16);
  }
  return bytes;
}

}  // namespace osa_test
