#pragma once
#include <string>

namespace httplib {
class Request;
class Response;
}  // namespace httplib

// Who may read the dashboard, and the headers every answer carries.
namespace dashboard {

constexpr const char kTokenCookie[] = "kqm_dashboard_token";

// The page loads nothing from elsewhere and runs no inline script or style; no other site may
// frame it.
constexpr const char kContentSecurityPolicy[] =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' data:; "
    "connect-src 'self'; base-uri 'none'; form-action 'self'; frame-ancestors 'none'";

// With a token: the request must carry it (query, cookie or bearer header); a query's token
// sets the cookie. Without one (loopback only): the Host header must name this computer, so
// that no web site can reach the page through a name of its own that points here. Otherwise
// the answer is set (401 or 403) and false returned.
bool AdmitRequest(const httplib::Request& request, httplib::Response& response,
                  const std::string& token);

// A plain-text answer: "404 Not Found: no such page".
void PlainError(httplib::Response& response, int status, const std::string& why);

}  // namespace dashboard
