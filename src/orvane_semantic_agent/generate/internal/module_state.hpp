// What the generator module keeps for the whole process: where its spans go and the traced
// completion function. `load_module()` sets them from the process environment; tests and
// benchmarks that run builds in-process put their own in place for a while.
//
//   ScopedModuleTracing scoped(test_tracer, scripted_completion);
//   SemanticModelGenerator(client, 30, urns).build();   // spans go to test_tracer
//
// Thread-safe.
#pragma once

#include <memory>

#include "platform/llm/completion.hpp"
#include "platform/tracing/tracer.hpp"

namespace orvane_semantic_agent::generate::internal {

struct ModuleTracing {
  platform::tracing::Tracer* tracer;             // receives the span of every build
  platform::llm::CompletionFunction completion;  // traced under `tracer`
};

// `completion` traced under `tracer`: each call one span "completion" of type LLM.
ModuleTracing make_module_tracing(platform::tracing::Tracer& tracer,
                                  platform::llm::CompletionFunction completion);

// The values in force; runs `load_module()` first when none are set yet.
std::shared_ptr<const ModuleTracing> module_tracing();

// Puts `tracer` and `completion` (traced under `tracer`) in force while it lives, then restores
// what was in force before. Nest them in stack order only.
class ScopedModuleTracing {
 public:
  ScopedModuleTracing(platform::tracing::Tracer& tracer,
                      platform::llm::CompletionFunction completion);
  ~ScopedModuleTracing();
  ScopedModuleTracing(const ScopedModuleTracing&) = delete;
  ScopedModuleTracing& operator=(const ScopedModuleTracing&) = delete;

 private:
  std::shared_ptr<const ModuleTracing> previous_;
};

}  // namespace orvane_semantic_agent::generate::internal
