#include "orvane_semantic_agent/semantic_model/semantic_model.hpp"
#include "platform/yaml/yaml.hpp"

namespace orvane_semantic_agent::semantic_model {

std::string SemanticModel::to_yaml() const { return platform::yaml::dump(model_dump(true)); }

std::shared_ptr<SemanticModel> SemanticModel::from_yaml(std::string_view yaml_text) {
  // A non-map document (an empty text reads as null) fails validation at the root.
  return model_validate(platform::yaml::safe_load(yaml_text));
}

}  // namespace orvane_semantic_agent::semantic_model
