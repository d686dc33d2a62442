#include "orvane/sql_parsing/internal/join_extractor.hpp"

#include <algorithm>
#include <span>
#include <string>

#include "orvane/sql_parsing/internal/from_sources.hpp"
#include "orvane/sql_parsing/internal/syntax_error.hpp"

namespace orvane::sql_parsing::internal {
namespace {

// Space reused from join to join, and from text to text on one thread (allocating it per text
// cost more than a small query's parse).
struct JoinScratch {
  SourceIndex left, right;
  std::vector<std::uint32_t> left_ids, right_ids;
  std::vector<TracedColumn> traced, involved;
};

class ScratchLease {
 public:
  ScratchLease() : scratch_(thread_scratch()) {}
  ~ScratchLease() {  // gives back what one large text made large
    constexpr std::size_t kKept = 1024;
    if (scratch_.left.sources().capacity() > kKept || scratch_.left_ids.capacity() > kKept ||
        scratch_.right_ids.capacity() > kKept || scratch_.involved.capacity() > kKept) {
      scratch_ = JoinScratch();
    }
  }
  ScratchLease(const ScratchLease&) = delete;
  ScratchLease& operator=(const ScratchLease&) = delete;
  JoinScratch& scratch() { return scratch_; }

 private:
  static JoinScratch& thread_scratch() {
    thread_local JoinScratch scratch;
    return scratch;
  }
  JoinScratch& scratch_;
};

class JoinExtractor {
 public:
  JoinExtractor(std::string_view sql, ColumnTracer& tracer, JoinScratch& scratch)
      : sql_(sql),
        tracer_(tracer),
        left_(scratch.left),
        right_(scratch.right),
        left_ids_(scratch.left_ids),
        right_ids_(scratch.right_ids),
        traced_(scratch.traced),
        involved_(scratch.involved) {}

  void extract(const JoinScope& scope, std::vector<std::pair<std::uint32_t, JoinInfo>>& out) {
    left_.clear();
    for (std::size_t i = 0; i < scope.count; ++i) {
      const FromTerm& term = scope.terms[i];
      left_.add(*term.first);
      for (const JoinStep& step : term.joins) {
        right_.clear();
        right_.add(*step.right);
        out.emplace_back(step.position, describe(step, left_, right_));
        left_.add(right_);
      }
    }
  }

 private:
  JoinInfo describe(const JoinStep& step, const SourceIndex& left, const SourceIndex& right) {
    JoinInfo info;
    info.join_type = step.join_type;
    if (step.has_condition) {
      info.on_clause =
          std::string(sql_.substr(step.condition_begin, step.condition_end - step.condition_begin));
    }
    // Table ids of the columns each side's qualifiers name, in condition order.
    std::vector<std::uint32_t>& left_ids = left_ids_;
    std::vector<std::uint32_t>& right_ids = right_ids_;
    left_ids.clear();
    right_ids.clear();
    involved_.clear();
    bool left_named = false, right_named = false;
    for (const ColumnRef& ref : step.condition.columns) {
      const FromItem* source = nullptr;
      std::vector<std::uint32_t>* ids = nullptr;
      if (ref.qualifier.empty()) {
      } else if ((source = right.find(ref.qualifier))) {
        ids = &right_ids;
        right_named = true;
      } else if ((source = left.find(ref.qualifier))) {
        ids = &left_ids;
        left_named = true;
      }
      traced_.clear();
      bool determined = source && tracer_.trace_into(*source, ref.column, traced_);
      if (!determined) traced_.clear();
      if (ids && determined) {
        for (const TracedColumn& traced : traced_) ids->push_back(traced.table);
      } else if (ids) {
        append_tables(*source, *ids);
      }
      if (traced_.empty()) traced_.push_back(TracedColumn{kUntracedTable, ref.column});
      involved_.insert(involved_.end(), traced_.begin(), traced_.end());
    }
    remove_repeats(involved_);
    info.columns_involved.reserve(involved_.size());
    for (TracedColumn& column : involved_) {
      std::optional<std::string> table;
      if (column.table != kUntracedTable) table = std::string(tracer_.table_name(column.table));
      info.columns_involved.push_back(ColumnInvolved{std::move(table), std::move(column.column)});
    }
    if (!left_named) {
      for (const FromItem* source : left.sources()) append_tables(*source, left_ids);
    }
    if (!right_named) {
      for (const FromItem* source : right.sources()) append_tables(*source, right_ids);
    }
    // Charged before the lists are built: listing repeats is work too.
    charge(left_ids.size() + right_ids.size() + info.columns_involved.size() +
           (left_named ? 0 : left.sources().size()) + (right_named ? 0 : right.sources().size()));
    info.left_tables = tracer_.unique_names(left_ids);
    info.right_tables = tracer_.unique_names(right_ids);
    return info;
  }

  void append_tables(const FromItem& source, std::vector<std::uint32_t>& ids) {
    std::span<const std::uint32_t> tables = tracer_.tables(source);
    ids.insert(ids.end(), tables.begin(), tables.end());
  }

  void charge(std::size_t entries) {
    reported_ += entries;
    if (reported_ > kMaxReportedEntries) {
      throw SqlSyntaxError("too many joins to report: their sides would list more than " +
                           std::to_string(kMaxReportedEntries) + " tables and columns");
    }
  }

  std::string_view sql_;
  ColumnTracer& tracer_;
  std::size_t reported_ = 0;
  SourceIndex& left_;
  SourceIndex& right_;
  std::vector<std::uint32_t>& left_ids_;
  std::vector<std::uint32_t>& right_ids_;
  std::vector<TracedColumn>& traced_;
  std::vector<TracedColumn>& involved_;
};

}  // namespace

void extract_joins(std::string_view sql, const TreeVector<JoinScope>& scopes, ColumnTracer& tracer,
                   std::vector<std::pair<std::uint32_t, JoinInfo>>& joins) {
  if (scopes.empty()) return;
  ScratchLease lease;
  JoinExtractor extractor(sql, tracer, lease.scratch());
  for (const JoinScope& scope : scopes) extractor.extract(scope, joins);
}

}  // namespace orvane::sql_parsing::internal
