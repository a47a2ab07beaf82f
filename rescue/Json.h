// The JSON the rescue writes for scripts: objects keep their keys in the
// order they were written.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace rilvane::rescue {

using Json = nlohmann::ordered_json;

// `j` as the text of a report, indented. Names from drives and file systems
// need not be UTF-8: what is not becomes U+FFFD, so the text stays valid JSON.
inline std::string dumpJson(const Json& j)
{
    return j.dump(2, ' ', false, Json::error_handler_t::replace);
}

}  // namespace rilvane::rescue
