// The module's start-up step and the values it sets.
#include <mutex>

#include "orvane_semantic_agent/generate/generate.hpp"
#include "orvane_semantic_agent/generate/internal/module_state.hpp"
#include "orvane_semantic_agent/generate/module_values.hpp"

namespace orvane_semantic_agent::generate {
namespace {

constexpr const char* kExperiment = "semantic_model_generation";
constexpr const char* kTokenModel = "gpt-4o-mini";

std::mutex& state_mutex() {
  static std::mutex mutex;
  return mutex;
}

// Guarded by state_mutex().
std::shared_ptr<const internal::ModuleTracing>& state() {
  static std::shared_ptr<const internal::ModuleTracing> values;
  return values;
}

std::shared_ptr<const internal::ModuleTracing> swap_state(
    std::shared_ptr<const internal::ModuleTracing> values) {
  std::lock_guard lock(state_mutex());
  state().swap(values);
  return values;
}

}  // namespace

void load_module() {
  static std::once_flag once;
  // A failure leaves the flag unset, so the step fails again rather than half-done.
  std::call_once(once, [] {
    platform::tracing::set_experiment(kExperiment);
    auto values = std::make_shared<const internal::ModuleTracing>(
        internal::make_module_tracing(platform::tracing::tracer(), platform::llm::completion));
    _list_queries_gql();
    _token_encoding();
    swap_state(std::move(values));
  });
}

const platform::tiktoken::Encoding& _token_encoding() {
  static const platform::tiktoken::Encoding& encoding =
      platform::tiktoken::encoding_for_model(kTokenModel);
  return encoding;
}

namespace internal {

ModuleTracing make_module_tracing(platform::tracing::Tracer& tracer,
                                  platform::llm::CompletionFunction completion) {
  return {&tracer, platform::tracing::traced(tracer, std::move(completion), "completion",
                                             platform::tracing::span_type::kLLM)};
}

std::shared_ptr<const ModuleTracing> module_tracing() {
  {
    std::lock_guard lock(state_mutex());
    if (state()) return state();
  }
  load_module();
  std::lock_guard lock(state_mutex());
  return state();
}

ScopedModuleTracing::ScopedModuleTracing(platform::tracing::Tracer& tracer,
                                         platform::llm::CompletionFunction completion)
    : previous_(swap_state(std::make_shared<const ModuleTracing>(
          make_module_tracing(tracer, std::move(completion))))) {}

ScopedModuleTracing::~ScopedModuleTracing() { swap_state(std::move(previous_)); }

}  // namespace internal
}  // namespace orvane_semantic_agent::generate
