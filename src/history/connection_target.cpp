#include "connection_target.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace history {

namespace {

bool StartsWith(const std::string& text, const char* prefix) {
  return text.rfind(prefix, 0) == 0;
}

bool IsUrl(const std::string& target) {
  return StartsWith(target, "postgresql://") || StartsWith(target, "postgres://");
}

std::string PercentDecoded(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() &&
        std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// The URL's "user:password@" and every "password=" of its query.
void UrlPasswords(const std::string& url, std::vector<std::string>& found) {
  const std::size_t start = url.find("://") + 3;
  const std::size_t at = url.rfind('@', url.find_first_of("?", start));
  if (at != std::string::npos && at > start) {
    const std::size_t colon = url.find(':', start);
    if (colon != std::string::npos && colon < at) {
      found.push_back(url.substr(colon + 1, at - colon - 1));
    }
  }
  for (std::size_t key = url.find("password=", start); key != std::string::npos;
       key = url.find("password=", key + 1)) {
    const std::size_t value = key + 9;
    found.push_back(url.substr(value, url.find('&', value) - value));
  }
}

// Every "password = value" of a keyword string, the value plain or in single quotes with
// backslash escapes.
void KeywordPasswords(const std::string& text, std::vector<std::string>& found) {
  for (std::size_t key = text.find("password"); key != std::string::npos;
       key = text.find("password", key + 1)) {
    std::size_t at = text.find_first_not_of(" \t\n\r", key + 8);
    if (at == std::string::npos || text[at] != '=') {
      continue;
    }
    at = text.find_first_not_of(" \t\n\r", at + 1);
    if (at == std::string::npos) {
      continue;
    }
    std::string value;
    const bool quoted = text[at] == '\'';
    const std::size_t raw = at + (quoted ? 1 : 0);
    for (at = raw; at < text.size(); ++at) {
      if (quoted ? text[at] == '\'' : std::isspace(static_cast<unsigned char>(text[at]))) {
        break;
      }
      if (quoted && text[at] == '\\' && at + 1 < text.size()) {
        ++at;
      }
      value += text[at];
    }
    found.push_back(value);
    found.push_back(text.substr(raw, at - raw));
  }
}

}  // namespace

bool IsPostgresTarget(const std::string& target) {
  if (IsUrl(target)) {
    return true;
  }
  const auto keyEnd = std::find_if_not(target.begin(), target.end(), [](char c) {
    return std::islower(static_cast<unsigned char>(c)) || c == '_';
  });
  if (keyEnd == target.begin()) {
    return false;
  }
  const auto equals = std::find_if_not(keyEnd, target.end(), [](char c) { return c == ' '; });
  return equals != target.end() && *equals == '=';
}

std::vector<std::string> PasswordsOf(const std::string& target) {
  std::vector<std::string> found;
  if (IsUrl(target)) {
    UrlPasswords(target, found);
  }
  KeywordPasswords(target, found);
  if (const char* environment = std::getenv("PGPASSWORD")) {
    found.emplace_back(environment);
  }
  std::vector<std::string> secrets;
  for (const std::string& password : found) {
    for (const std::string& form : {password, PercentDecoded(password)}) {
      if (!form.empty() && std::find(secrets.begin(), secrets.end(), form) == secrets.end()) {
        secrets.push_back(form);
      }
    }
  }
  // The longest first, so that a password that holds a shorter one goes whole.
  std::sort(secrets.begin(), secrets.end(),
            [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
  return secrets;
}

std::string Redact(std::string text, const std::vector<std::string>& secrets) {
  for (const std::string& secret : secrets) {
    for (std::size_t at = text.find(secret); at != std::string::npos;
         at = text.find(secret, at + 3)) {
      text.replace(at, secret.size(), "***");
    }
  }
  return text;
}

}  // namespace history
