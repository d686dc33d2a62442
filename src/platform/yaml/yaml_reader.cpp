// `safe_load`: libyaml's parser for the syntax, then the reference safe reader's typing,
// anchors, merge keys and single-document rule, with limits that keep hostile text cheap.
#include <yaml.h>

#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <fmt/format.h>

#include "platform/errors/errors.hpp"
#include "platform/yaml/internal/python_text.hpp"
#include "platform/yaml/internal/resolver.hpp"
#include "platform/yaml/internal/strict_scan.hpp"
#include "platform/yaml/yaml.hpp"

namespace platform::yaml {
namespace {

using internal::ImplicitTag;

constexpr std::string_view kStandardTagPrefix = "tag:yaml.org,2002:";

[[noreturn]] void fail_at(std::string_view message, std::size_t line, std::size_t column) {
  throw YAMLError(fmt::format("{} at line {}, column {}", message, line + 1, column + 1));
}

[[noreturn]] void fail_at(std::string_view message, const yaml_mark_t& mark) {
  fail_at(message, mark.line, mark.column);
}

// A map under construction: the reference's dict semantics (a repeated key keeps its first
// position and its last value), with a hash index once the map grows past a few keys.
class MapBuilder {
 public:
  void set(std::string key, Value value) {
    if (index_.empty()) {
      for (auto& entry : entries_) {
        if (entry.first == key) {
          entry.second = std::move(value);
          return;
        }
      }
      entries_.emplace_back(std::move(key), std::move(value));
      if (entries_.size() == kIndexFrom) {
        for (std::size_t i = 0; i < entries_.size(); ++i) index_.emplace(entries_[i].first, i);
      }
      return;
    }
    const auto [it, inserted] = index_.try_emplace(key, entries_.size());
    if (!inserted) {
      entries_[it->second].second = std::move(value);
      return;
    }
    entries_.emplace_back(std::move(key), std::move(value));
  }
  void set_all(const Value::Map& map) {
    for (const auto& [key, value] : map) set(key, value);
  }
  // The entries; leaves the builder empty for reuse.
  Value::Map take() {
    Value::Map out = std::move(entries_);
    entries_.clear();
    index_.clear();
    return out;
  }

 private:
  static constexpr std::size_t kIndexFrom = 16;
  Value::Map entries_;
  std::unordered_map<std::string, std::size_t> index_;
};

struct Frame {
  bool is_map = false;
  std::string anchor;  // empty when none
  std::size_t nodes_at_start = 0;
  std::size_t bytes_at_start = 0;
  Value::List list;
  MapBuilder map;
  // The key read and waiting for its value.
  bool has_key = false;
  bool key_is_merge = false;
  std::string key;
  // Values of "<<" keys, in the order the reference merges them.
  std::vector<Value::Map> merged;
};

struct Anchored {
  Value value;
  std::size_t nodes = 0;
  std::size_t bytes = 0;
};

// A scalar read in key position may be a merge key; elsewhere that tag has no constructor.
struct ReadScalar {
  Value value;
  bool is_merge = false;
};

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {
    yaml_parser_initialize(&parser_);
    yaml_parser_set_encoding(&parser_, YAML_UTF8_ENCODING);
    yaml_parser_set_input_string(&parser_, reinterpret_cast<const unsigned char*>(text.data()),
                                 text.size());
  }
  ~Reader() {
    if (has_event_) yaml_event_delete(&event_);
    yaml_parser_delete(&parser_);
  }
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;

  Value read() {
    const yaml_event_t* event = next();  // stream start
    event = next();
    if (event->type == YAML_STREAM_END_EVENT) return Value();
    Value document = read_document();
    event = next();  // document end
    event = next();
    if (event->type != YAML_STREAM_END_EVENT) {
      fail_at("expected a single document in the stream, but found another document",
              event->start_mark);
    }
    return document;
  }

 private:
  // The current event, valid until the next call (one event at a time, no allocation).
  Frame& top() { return stack_[depth_ - 1]; }

  const yaml_event_t* next() {
    if (has_event_) yaml_event_delete(&event_);
    has_event_ = false;
    if (!yaml_parser_parse(&parser_, &event_)) fail_parser();
    has_event_ = true;
    return &event_;
  }

  [[noreturn]] void fail_parser() {
    const char* problem = parser_.problem != nullptr ? parser_.problem : "invalid YAML";
    if (parser_.error == YAML_READER_ERROR) {
      const auto [line, column] = position_of_byte(parser_.problem_offset);
      fail_at(fmt::format("invalid text: {}", problem), line, column);
    }
    std::string message = problem;
    if (parser_.context != nullptr) {
      message =
          fmt::format("{} (line {}, column {}): {}", parser_.context, parser_.context_mark.line + 1,
                      parser_.context_mark.column + 1, problem);
    }
    fail_at(message, parser_.problem_mark);
  }

  std::pair<std::size_t, std::size_t> position_of_byte(std::size_t offset) const {
    std::size_t line = 0, column = 0;
    for (std::size_t i = 0; i < offset && i < text_.size(); ++i) {
      const auto c = static_cast<unsigned char>(text_[i]);
      if (c == '\n') {
        ++line, column = 0;
      } else if ((c & 0xC0) != 0x80) {
        ++column;
      }
    }
    return {line, column};
  }

  // Reads the events of one node tree with an explicit stack (no recursion on nesting).
  Value read_document() {
    std::optional<Value> root;
    while (!root) {
      const yaml_event_t* event = next();
      switch (event->type) {
        case YAML_SCALAR_EVENT: {
          const auto& s = event->data.scalar;
          count(1, s.length, event->start_mark);
          const bool key_position = depth_ > 0 && top().is_map && !top().has_key;
          if (key_position && s.anchor == nullptr && is_plain_text_key(s)) {
            // The common case, a key that is just text, skips the Value.
            Frame& frame = top();
            frame.key.assign(reinterpret_cast<const char*>(s.value), s.length);
            frame.has_key = true;
            frame.key_is_merge = false;
            break;
          }
          ReadScalar scalar = read_scalar(*event, key_position);
          if (s.anchor != nullptr) {
            define_anchor(reinterpret_cast<const char*>(s.anchor), event->start_mark);
            count(1, s.length, event->start_mark);
            anchors_[reinterpret_cast<const char*>(s.anchor)] = {scalar.value, 1, s.length};
          }
          root = deliver(std::move(scalar.value), scalar.is_merge, event->start_mark);
          break;
        }
        case YAML_ALIAS_EVENT: {
          const std::string name = reinterpret_cast<const char*>(event->data.alias.anchor);
          if (open_anchors_.contains(name)) {
            fail_at(fmt::format("found recursive alias '{}', which a tree cannot hold", name),
                    event->start_mark);
          }
          const auto it = anchors_.find(name);
          if (it == anchors_.end()) {
            fail_at(fmt::format("found undefined alias '{}'", name), event->start_mark);
          }
          count(it->second.nodes, it->second.bytes, event->start_mark);
          root = deliver(it->second.value, false, event->start_mark);
          break;
        }
        case YAML_SEQUENCE_START_EVENT:
        case YAML_MAPPING_START_EVENT:
          open_collection(*event);
          break;
        case YAML_SEQUENCE_END_EVENT:
        case YAML_MAPPING_END_EVENT:
          root = close_collection(event->start_mark);
          break;
        default:
          fail_at("unexpected YAML event", event->start_mark);
      }
    }
    return std::move(*root);
  }

  void count(std::size_t nodes, std::size_t bytes, const yaml_mark_t& mark) {
    nodes_ += nodes;
    bytes_ += bytes;
    if (nodes_ > kMaxNodes) {
      fail_at(fmt::format("document expands to more than {} nodes (aliases included)", kMaxNodes),
              mark);
    }
    if (bytes_ > kMaxExpandedTextBytes) {
      fail_at(fmt::format("document expands to more than {} bytes of text (aliases included)",
                          kMaxExpandedTextBytes),
              mark);
    }
  }

  void define_anchor(const std::string& name, const yaml_mark_t& mark) {
    if (anchors_.contains(name) || open_anchors_.contains(name)) {
      fail_at(fmt::format("found duplicate anchor '{}'", name), mark);
    }
  }

  static std::string_view tag_of(const yaml_char_t* tag) {
    return tag == nullptr ? std::string_view() : reinterpret_cast<const char*>(tag);
  }

  [[noreturn]] static void fail_tag(std::string_view tag, const yaml_mark_t& mark) {
    fail_at(fmt::format("could not determine a constructor for the tag '{}'", tag), mark);
  }

  // The standard collection tag a tag names: "seq", "map", or "" for no tag at all.
  static std::string_view standard_suffix(std::string_view tag) {
    if (tag.empty() || tag == "!") return "";
    if (!tag.starts_with(kStandardTagPrefix)) return tag;
    return tag.substr(kStandardTagPrefix.size());
  }

  // An untagged scalar that reads as text: quoted, or plain and typed as text.
  using ScalarData = decltype(yaml_event_t::data.scalar);

  static bool is_plain_text_key(const ScalarData& s) {
    if (s.tag != nullptr) return false;
    if (s.style != YAML_PLAIN_SCALAR_STYLE) return true;
    return internal::resolve_plain(std::string_view(reinterpret_cast<const char*>(s.value),
                                                    s.length)) == ImplicitTag::kStr;
  }

  ReadScalar read_scalar(const yaml_event_t& event, bool key_position) {
    const auto& s = event.data.scalar;
    const std::string_view text(reinterpret_cast<const char*>(s.value), s.length);
    const std::string_view tag = tag_of(s.tag);
    std::string_view type;  // the standard tag's suffix
    // The non-specific tag "!" asks for the plain typing even on a quoted scalar, as in the
    // reference.
    if (tag.empty() || tag == "!") {
      if (tag.empty() && s.style != YAML_PLAIN_SCALAR_STYLE) return {Value(text)};
      switch (internal::resolve_plain(text)) {
        case ImplicitTag::kStr:
          return {Value(text)};
        case ImplicitTag::kNull:
          return {Value()};
        case ImplicitTag::kBool:
          type = "bool";
          break;
        case ImplicitTag::kInt:
          type = "int";
          break;
        case ImplicitTag::kFloat:
          type = "float";
          break;
        case ImplicitTag::kTimestamp:
          type = "timestamp";
          break;
        case ImplicitTag::kMerge:
          type = "merge";
          break;
        case ImplicitTag::kValue:
          type = "value";
          break;
      }
    } else if (tag.starts_with(kStandardTagPrefix)) {
      type = tag.substr(kStandardTagPrefix.size());
    } else {
      fail_tag(tag, event.start_mark);
    }
    try {
      if (type == "str") return {Value(text)};
      if (type == "null") return {Value()};
      if (type == "bool") return {internal::construct_bool(text)};
      if (type == "int") return {internal::construct_int(text)};
      if (type == "float") return {internal::construct_float(text)};
      if (type == "timestamp") return {internal::construct_timestamp(text)};
    } catch (const internal::ScalarError& error) {
      fail_at(error.what(), event.start_mark);
    }
    // "<<" merges, and "=" reads as its text, only as a key.
    if (key_position && type == "merge") return {Value(text), true};
    if (key_position && type == "value") return {Value(text)};
    if (type == "seq" || type == "map") {
      fail_at(fmt::format("expected a {} node, but found scalar",
                          type == "seq" ? "sequence" : "mapping"),
              event.start_mark);
    }
    fail_tag(std::string(kStandardTagPrefix) + std::string(type), event.start_mark);
  }

  void open_collection(const yaml_event_t& event) {
    const bool is_map = event.type == YAML_MAPPING_START_EVENT;
    const std::string_view tag =
        is_map ? tag_of(event.data.mapping_start.tag) : tag_of(event.data.sequence_start.tag);
    const std::string_view suffix = standard_suffix(tag);
    // The reference merges a map's entries without constructing the map, so its tag is moot.
    const bool merged_map =
        is_map && depth_ > 0 && top().is_map && top().has_key && top().key_is_merge;
    if (!suffix.empty() && suffix != (is_map ? "map" : "seq") && !merged_map) {
      if (suffix == "map" || suffix == "seq" || suffix == "str" || suffix == "int" ||
          suffix == "float" || suffix == "bool" || suffix == "timestamp" || suffix == "null") {
        fail_at(fmt::format("expected a {} node, but found {}",
                            suffix == "map"   ? "mapping"
                            : suffix == "seq" ? "sequence"
                                              : "scalar",
                            is_map ? "mapping" : "sequence"),
                event.start_mark);
      }
      fail_tag(tag, event.start_mark);
    }
    if (depth_ >= kMaxDepth) {
      fail_at(fmt::format("nesting deeper than {} levels", kMaxDepth), event.start_mark);
    }
    count(1, 0, event.start_mark);
    // Frames are reused level by level: their buffers are already there.
    if (depth_ == stack_.size()) stack_.emplace_back();
    Frame& frame = stack_[depth_++];
    frame.has_key = false;
    frame.anchor.clear();
    frame.list.clear();
    frame.merged.clear();
    frame.is_map = is_map;
    const yaml_char_t* anchor =
        is_map ? event.data.mapping_start.anchor : event.data.sequence_start.anchor;
    if (anchor != nullptr) {
      frame.anchor = reinterpret_cast<const char*>(anchor);
      define_anchor(frame.anchor, event.start_mark);
      open_anchors_.insert(frame.anchor);
      frame.nodes_at_start = nodes_ - 1;
      frame.bytes_at_start = bytes_;
    }
  }

  std::optional<Value> close_collection(const yaml_mark_t& mark) {
    Frame& frame = stack_[--depth_];
    Value value;
    if (frame.is_map) {
      if (frame.merged.empty()) {
        value = Value(frame.map.take());
      } else {
        // Merged entries come first; the map's own entries then win.
        MapBuilder result;
        for (const auto& merged : frame.merged) result.set_all(merged);
        result.set_all(frame.map.take());
        value = Value(result.take());
      }
    } else {
      value = Value(std::move(frame.list));
    }
    if (!frame.anchor.empty()) {
      open_anchors_.erase(frame.anchor);
      const std::size_t nodes = nodes_ - frame.nodes_at_start;
      const std::size_t bytes = bytes_ - frame.bytes_at_start;
      // The kept copy counts too: nested anchors would otherwise copy text quadratically.
      count(nodes, bytes, mark);
      anchors_[frame.anchor] = {value, nodes, bytes};
    }
    return deliver(std::move(value), false, mark);
  }

  // Hands a finished node to its parent; returns it when it is the document's root.
  std::optional<Value> deliver(Value value, bool is_merge_key, const yaml_mark_t& mark) {
    if (depth_ == 0) {
      if (is_merge_key) fail_tag(std::string(kStandardTagPrefix) + "merge", mark);
      return value;
    }
    Frame& frame = top();
    if (!frame.is_map) {
      if (is_merge_key) fail_tag(std::string(kStandardTagPrefix) + "merge", mark);
      frame.list.push_back(std::move(value));
      return std::nullopt;
    }
    if (!frame.has_key) {
      frame.has_key = true;
      frame.key_is_merge = is_merge_key;
      if (!is_merge_key) {
        auto key = internal::key_text(value);
        if (!key) fail_at("found unhashable key (a list or map cannot be a key)", mark);
        frame.key = std::move(*key);
      }
      return std::nullopt;
    }
    frame.has_key = false;
    if (frame.key_is_merge) {
      merge_into(frame, std::move(value), mark);
    } else {
      frame.map.set(std::move(frame.key), std::move(value));
    }
    return std::nullopt;
  }

  static void merge_into(Frame& frame, Value value, const yaml_mark_t& mark) {
    if (value.is_map()) {
      frame.merged.push_back(std::move(value.as_map()));
      return;
    }
    if (!value.is_list()) {
      fail_at("expected a mapping or list of mappings for merging, but found scalar", mark);
    }
    auto& list = value.as_list();
    for (const Value& item : list) {
      if (!item.is_map()) {
        fail_at(fmt::format("expected a mapping for merging, but found {}",
                            item.is_list() ? "sequence" : "scalar"),
                mark);
      }
    }
    // The reference merges a list of maps last to first, so earlier maps win.
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
      frame.merged.push_back(std::move(it->as_map()));
    }
  }

  std::string_view text_;
  yaml_parser_t parser_;
  yaml_event_t event_{};
  bool has_event_ = false;
  std::vector<Frame> stack_;  // stack_[0, depth_) are open
  std::size_t depth_ = 0;
  std::unordered_map<std::string, Anchored> anchors_;
  std::unordered_set<std::string> open_anchors_;
  std::size_t nodes_ = 0;
  std::size_t bytes_ = 0;
};

}  // namespace

Value safe_load(std::string_view text) {
  if (text.size() > kMaxTextBytes) {
    throw YAMLError(
        fmt::format("YAML text of {} bytes exceeds the limit of {} bytes at line 1, column 1",
                    text.size(), kMaxTextBytes));
  }
  // A byte order mark that opens the text is skipped. At the start of a later line libyaml
  // skips one too, where the reference reads it as a character: refuse it there rather than
  // read something else than the reference.
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
  for (std::size_t bom = text.find(kByteOrderMark); bom != std::string_view::npos;
       bom = text.find(kByteOrderMark, bom + 1)) {
    const std::string_view before = text.substr(0, bom);
    if (before.empty() || internal::ends_with_line_break(before)) {
      fail_at("found a byte order mark at the start of a line", internal::count_line_breaks(before),
              0);
    }
  }
  if (internal::needs_strict_scan(text)) {
    if (const auto refusal = internal::find_refusal(text)) {
      fail_at(refusal->message, refusal->line, refusal->column);
    }
  }
  return Reader(text).read();
}

}  // namespace platform::yaml
