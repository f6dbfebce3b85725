#pragma once
#include <string>

#include "dashboard_views.h"

namespace httplib {
class Request;
class Response;
}  // namespace httplib

// The dashboard's answers: JSON and CSV that no cache keeps, and the module a search asks for.
namespace dashboard {

void SendJson(httplib::Response& response, const Json& value);
// A file to save: `name` is the name a browser offers.
void SendCsv(httplib::Response& response, const std::string& csv, const std::string& name);

// The attempts of the module that "?module=" names, newest first; false (and a 400 said) when
// none is named, or one too long to be an ID.
bool ModuleQuery(const httplib::Request& request, httplib::Response& response,
                 history::AttemptQuery& query);

}  // namespace dashboard
