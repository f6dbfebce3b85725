#include "http_answers.h"

#include <httplib.h>

#include "request_guard.h"

namespace dashboard {

namespace {
constexpr std::size_t kMaxModuleId = 256;
}

void SendJson(httplib::Response& response, const Json& value) {
  response.set_header("Cache-Control", "no-store");
  response.set_content(JsonText(value), "application/json; charset=utf-8");
}

void SendCsv(httplib::Response& response, const std::string& csv, const std::string& name) {
  response.set_header("Cache-Control", "no-store");
  response.set_header("Content-Disposition", "attachment; filename=\"" + name + "\"");
  response.set_content(csv, "text/csv; charset=utf-8");
}

bool ModuleQuery(const httplib::Request& request, httplib::Response& response,
                 history::AttemptQuery& query) {
  const std::string moduleId = request.get_param_value("module");
  if (moduleId.empty() || moduleId.size() > kMaxModuleId) {
    PlainError(response, 400, "give a module ID (module=...) of at most 256 bytes");
    return false;
  }
  query.moduleId = moduleId;
  query.limit = kListLimit;
  return true;
}

}  // namespace dashboard
