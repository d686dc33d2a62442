// The parts of a parsed statement that decide its joins: queries, their FROM clauses and select
// lists, and the columns and subqueries each expression names. Expressions themselves are not
// kept. Nodes live in a SyntaxArena and point at each other; long chains (JOIN after JOIN, UNION
// after UNION) are flat lists, so walking a tree recurses only as deep as the text nests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory_resource>
#include <string>
#include <vector>

namespace orvane::sql_parsing::internal {

// The memory of the SyntaxArena current on this thread; throws std::logic_error when there is
// none (a tree built outside a parse).
std::pmr::memory_resource& current_tree_memory();

// Allocator of the vectors inside the tree: they take their memory from the current SyntaxArena
// and give nothing back, the arena releasing it all at once. A parse builds a few dozen small
// vectors per statement, and taking each from the heap and returning it cost as much as the
// parse itself. A vector using it must not outlive the arena it was filled in.
template <class T>
struct TreeAllocator {
  using value_type = T;
  TreeAllocator() = default;
  template <class U>
  TreeAllocator(const TreeAllocator<U>&) {}  // implicit: containers rebind it
  T* allocate(std::size_t count) {
    return static_cast<T*>(current_tree_memory().allocate(count * sizeof(T), alignof(T)));
  }
  void deallocate(T*, std::size_t) {}
  template <class U>
  bool operator==(const TreeAllocator<U>&) const {
    return true;
  }
};

template <class T>
using TreeVector = std::vector<T, TreeAllocator<T>>;

using TreeString = std::basic_string<char, std::char_traits<char>, TreeAllocator<char>>;

// Parts of a dotted name, lower-cased: `db.schema.table`, or the qualifier `t` of `t.column`.
using NameParts = TreeVector<std::string>;

struct Query;
struct FromItem;

// Identifier names are lower-cased (see identifier_name).
struct ColumnRef {
  NameParts qualifier;  // empty when unqualified
  std::string column;
};

// What an expression (or a run of expressions) reads.
struct ExprRefs {
  bool keep_columns = false;      // columns are kept only where joins are traced through them
  TreeVector<ColumnRef> columns;  // outside subqueries, in textual order
  TreeVector<Query*> subqueries;
};

struct SelectItem {
  bool star = false;              // `*` or `q.*`
  NameParts star_qualifier;       // the `q` of `q.*`
  std::string name;               // output name; empty for an unnamed expression
  TreeVector<ColumnRef> columns;  // what the expression reads
};

struct JoinStep {
  std::string join_type;
  std::uint32_t position = 0;  // byte offset of the join's first keyword
  FromItem* right = nullptr;
  bool has_condition = false;
  std::uint32_t condition_begin = 0;  // byte range of the condition text
  std::uint32_t condition_end = 0;
  ExprRefs condition;
};

// `first JOIN x ON ... JOIN y ON ...`: one comma-separated item of a FROM clause.
struct FromTerm {
  FromItem* first = nullptr;
  TreeVector<JoinStep> joins;
};

struct Cte {
  std::string name;
  NameParts columns;
  Query* query = nullptr;
  bool recursive = false;
};

enum class FromKind {
  kTable,     // a named table, view or CTE
  kSubquery,  // (query)
  kFunction,  // FLATTEN(...), TABLE(...), IDENTIFIER($var): rows but no physical table
  kValues,    // VALUES (...), (...)
  kStage,     // @stage/path
  kGroup,     // (a JOIN b ON ...)
};

struct FromItem {
  FromKind kind = FromKind::kTable;
  std::string alias;
  NameParts column_aliases;
  bool pivoted = false;           // PIVOT/UNPIVOT reshapes the columns
  NameParts name;                 // kTable: name parts; "" for the empty part of db..t
  Query* query = nullptr;         // kSubquery
  FromTerm group;                 // kGroup
  TreeVector<Query*> subqueries;  // inside function arguments, PIVOT, time travel, ...
  // Set when the statement is bound: a kTable is either a CTE or a physical table.
  const Cte* cte = nullptr;
  TreeString urn;
  std::uint32_t table_id = 0;  // index of `urn` in BoundStatement::table_names
};

struct SelectCore {
  TreeVector<SelectItem> items;
  TreeVector<FromTerm> from;
  TreeVector<Query*> subqueries;  // in the select list, WHERE, GROUP BY, HAVING, QUALIFY, ...
};

// One operand of a chain of set operations; exactly one member is set, or none for VALUES.
struct QueryBranch {
  SelectCore* core = nullptr;
  Query* query = nullptr;  // a parenthesised query
};

struct Query {
  TreeVector<Cte*> ctes;
  TreeVector<QueryBranch> branches;  // UNION/EXCEPT/MINUS/INTERSECT operands, in order
  TreeVector<Query*> subqueries;     // in ORDER BY, LIMIT, ...
};

// A statement is a set of roots: queries (SELECT, the source of INSERT/CREATE/COPY) and select
// cores standing for DML clauses (UPDATE ... FROM, MERGE ... USING, DELETE ... USING).
struct Statement {
  TreeVector<Query*> queries;
  TreeVector<SelectCore*> cores;
};

// Owns every node of the statements parsed from one text, and is the current arena of its
// thread (for TreeAllocator) from construction to destruction. Memory comes from a buffer inside
// the arena first, so a short text costs no heap allocation for its tree.
class SyntaxArena {
 public:
  SyntaxArena();
  ~SyntaxArena();
  SyntaxArena(const SyntaxArena&) = delete;
  SyntaxArena& operator=(const SyntaxArena&) = delete;

  Query* new_query() { return &queries_.emplace_back(); }
  SelectCore* new_core() { return &cores_.emplace_back(); }
  FromItem* new_from_item(FromKind kind) {
    FromItem* item = &from_items_.emplace_back();
    item->kind = kind;
    return item;
  }
  Cte* new_cte() { return &ctes_.emplace_back(); }

 private:
  alignas(std::max_align_t) char buffer_[16384];
  std::pmr::monotonic_buffer_resource memory_{buffer_, sizeof buffer_};
  std::pmr::memory_resource* previous_;  // the arena current before this one
  std::pmr::deque<Query> queries_{&memory_};
  std::pmr::deque<SelectCore> cores_{&memory_};
  std::pmr::deque<FromItem> from_items_{&memory_};
  std::pmr::deque<Cte> ctes_{&memory_};
};

}  // namespace orvane::sql_parsing::internal
