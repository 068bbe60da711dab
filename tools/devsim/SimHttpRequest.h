#pragma once
// One HTTP request as the simulator's web server reads it: the request line
// of a GET, its path and its query, percent-decoded ("+" is a blank in the
// query). Bytes come from any client, so nothing in them is trusted: a head
// that is not a GET request line gives false.
#include <map>
#include <string>
#include <string_view>

namespace vzsim {

struct SimHttpRequest {
  std::string method;
  std::string target;  // as sent: path and query
  std::string path;    // decoded, without the query
  std::map<std::string, std::string> query;  // decoded; the first of a repeated key counts

  // Parses the head up to its blank line (or the whole text when it has
  // none). False for anything but "GET <target> HTTP/1.x".
  bool Parse(std::string_view head);

  // The query value or `def`.
  std::string Query(const std::string& key, const std::string& def = "") const;

  static std::string Decode(std::string_view text, bool plusIsBlank);
};

}  // namespace vzsim
