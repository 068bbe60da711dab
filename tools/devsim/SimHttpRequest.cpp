#include "SimHttpRequest.h"

namespace vzsim {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string SimHttpRequest::Decode(std::string_view text, bool plusIsBlank) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '%' && i + 2 < text.size()) {
      const int hi = HexValue(text[i + 1]);
      const int lo = HexValue(text[i + 2]);
      if (hi >= 0 && lo >= 0) {
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
        continue;
      }
    }
    out += (plusIsBlank && c == '+') ? ' ' : c;
  }
  return out;
}

bool SimHttpRequest::Parse(std::string_view head) {
  method.clear();
  target.clear();
  path.clear();
  query.clear();
  const size_t eol = head.find("\r\n");
  const std::string_view line = eol == std::string_view::npos ? head : head.substr(0, eol);
  const size_t sp1 = line.find(' ');
  if (sp1 == std::string_view::npos) return false;
  const size_t sp2 = line.find(' ', sp1 + 1);
  if (sp2 == std::string_view::npos) return false;
  const std::string_view version = line.substr(sp2 + 1);
  if (line.substr(0, sp1) != "GET" || version.substr(0, 7) != "HTTP/1." || version.size() != 8) return false;
  method = "GET";
  target = std::string(line.substr(sp1 + 1, sp2 - sp1 - 1));
  if (target.empty() || target[0] != '/') return false;
  const size_t q = target.find('?');
  path = Decode(std::string_view(target).substr(0, q), false);
  if (q == std::string::npos) return true;
  std::string_view rest = std::string_view(target).substr(q + 1);
  while (!rest.empty()) {
    const size_t amp = rest.find('&');
    const std::string_view pair = rest.substr(0, amp);
    const size_t eq = pair.find('=');
    const std::string key = Decode(pair.substr(0, eq), true);
    const std::string value = eq == std::string_view::npos ? "" : Decode(pair.substr(eq + 1), true);
    if (!key.empty()) query.emplace(key, value);
    if (amp == std::string_view::npos) break;
    rest.remove_prefix(amp + 1);
  }
  return true;
}

std::string SimHttpRequest::Query(const std::string& key, const std::string& def) const {
  const auto it = query.find(key);
  return it == query.end() ? def : it->second;
}

}  // namespace vzsim
