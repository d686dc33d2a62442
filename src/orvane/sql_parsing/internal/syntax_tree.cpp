#include "orvane/sql_parsing/internal/syntax_tree.hpp"

#include <stdexcept>

namespace orvane::sql_parsing::internal {
namespace {

thread_local std::pmr::memory_resource* current_memory = nullptr;

}  // namespace

std::pmr::memory_resource& current_tree_memory() {
  if (!current_memory) throw std::logic_error("syntax tree built outside a SyntaxArena");
  return *current_memory;
}

SyntaxArena::SyntaxArena() : previous_(current_memory) { current_memory = &memory_; }

// The nodes are destroyed after this body, but their vectors give no memory back, so they need
// no current arena.
SyntaxArena::~SyntaxArena() { current_memory = previous_; }

}  // namespace orvane::sql_parsing::internal
