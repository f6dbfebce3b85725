#pragma once
// What every dashboard test asks of the page: helpers loaded before the page's own scripts,
// texts as JavaScript literals, and the page's script errors for a failure's message.
#include <nlohmann/json.hpp>
#include <string>

#include "cdp_browser.h"

// Helpers every page load gets before its own scripts: a tile by its station, and a record
// of content-security violations.
inline constexpr char kPageHelpers[] = R"(
  window.cspViolations = [];
  document.addEventListener('securitypolicyviolation',
      (e) => window.cspViolations.push(e.violatedDirective + ' ' + e.blockedURI + ' ' +
          e.sourceFile + ':' + e.lineNumber + ' ' + e.sample));
  window.tileOf = (name) => [...document.querySelectorAll('.tile')]
      .find((t) => t.dataset.station === name);
  window.tilePart = (name, part) => {
    const tile = window.tileOf(name);
    const node = tile && tile.querySelector(part);
    return node ? node.textContent : null;
  };
)";

// `text` as a JavaScript string literal.
inline std::string Literal(const std::string& text) {
  return nlohmann::json(text).dump();
}

// The page's script errors and console messages.
inline std::string PageProblems(CdpBrowser& browser) {
  std::string problems;
  for (const nlohmann::json& e : browser.Events("Runtime.exceptionThrown"))
    problems += e["params"]["exceptionDetails"].dump() + "\n";
  for (const nlohmann::json& e : browser.Events("Runtime.consoleAPICalled"))
    problems += e["params"]["args"].dump() + "\n";
  return problems;
}
