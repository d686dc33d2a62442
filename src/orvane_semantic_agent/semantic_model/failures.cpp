#include "orvane_semantic_agent/semantic_model/validation_failures.hpp"

#include <fmt/format.h>

#include "platform/errors/errors.hpp"

namespace orvane_semantic_agent::semantic_model::validation {

Failures::Scope::Scope(Failures& failures, std::string_view step) : failures_(failures) {
  failures_.path_.emplace_back(step);
}

Failures::Scope::~Scope() { failures_.path_.pop_back(); }

void Failures::add(std::string reason, std::string value) {
  std::string location;
  for (const std::string& step : path_) {
    if (!location.empty()) location += '.';
    location += step;
  }
  failures_.push_back({std::move(location), std::move(reason), std::move(value)});
}

void Failures::raise(std::string_view record_name) const {
  std::string message = fmt::format("{} validation error{} for {}", failures_.size(),
                                    failures_.size() == 1 ? "" : "s", record_name);
  for (const Failure& failure : failures_) {
    if (!failure.location.empty()) message += "\n" + failure.location;
    message += fmt::format("\n  {} [value={}]", failure.reason, failure.value);
  }
  throw platform::ValidationError(message);
}

namespace {

constexpr std::size_t kDescriptionLimit = 120;

class Describer {
 public:
  void write(const platform::Value& value) {
    if (full()) return;
    std::visit([&](const auto& held) { write_held(held); }, value.data());
  }

  std::string take() { return shorten(std::move(out_)); }

 private:
  bool full() const { return out_.size() > kDescriptionLimit; }

  void write_held(std::monostate) { out_ += "None"; }
  void write_held(bool b) { out_ += b ? "True" : "False"; }
  void write_held(std::int64_t i) { out_ += std::to_string(i); }
  void write_held(const platform::BigInt& i) { append_bounded(i.digits); }
  void write_held(double d) { out_ += fmt::format("{}", d); }
  void write_held(const platform::Date& d) { out_ += d.iso(); }
  void write_held(const platform::DateTime& d) { out_ += d.iso(); }

  void write_held(const std::string& text) {
    out_ += '\'';
    for (char c : text.substr(0, kDescriptionLimit + 1)) {
      if (c == '\'' || c == '\\') {
        out_ += '\\';
        out_ += c;
      } else if (static_cast<unsigned char>(c) < 0x20) {
        out_ += fmt::format("\\x{:02x}", static_cast<unsigned char>(c));
      } else {
        out_ += c;
      }
    }
    out_ += '\'';
  }

  void write_held(const platform::Value::List& list) {
    out_ += '[';
    for (std::size_t i = 0; i < list.size() && !full(); ++i) {
      if (i > 0) out_ += ", ";
      write(list[i]);
    }
    out_ += ']';
  }

  void write_held(const platform::Value::Map& map) {
    out_ += '{';
    for (std::size_t i = 0; i < map.size() && !full(); ++i) {
      if (i > 0) out_ += ", ";
      write_held(map[i].first);
      out_ += ": ";
      write(map[i].second);
    }
    out_ += '}';
  }

  void append_bounded(std::string_view text) { out_ += text.substr(0, kDescriptionLimit + 1); }

  std::string out_;
};

}  // namespace

std::string shorten(std::string text) {
  if (text.size() <= kDescriptionLimit) return text;
  // Cut at a character boundary so the message stays valid UTF-8.
  std::size_t cut = kDescriptionLimit;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0u) == 0x80u) --cut;
  text.resize(cut);
  return text + "...";
}

std::string describe(const platform::Value& value) {
  Describer describer;
  describer.write(value);
  return describer.take();
}

}  // namespace orvane_semantic_agent::semantic_model::validation
