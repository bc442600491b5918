#include "json/json_application.hpp"

#include "json/record_from_json.hpp"

namespace vexa_cli {

JsonOutput application_to_json(const vexa_package::Application& application,
                               ByteSpelling spelling) {
    return record_to_json(application, spelling);
}

std::expected<vexa_package::Application, std::string> application_from_json(
    const JsonValue& document) {
    return model_from_json<vexa_package::Application>(document);
}

}  // namespace vexa_cli
