// The senders the view has seen, each with a small number that the lines of
// its messages carry in their metadata: a line costs two bytes for its host,
// and a filter on senders compares each sender once, not each line's text.
// A sender is its host (the header's HOSTNAME, or the address when the
// message names none) together with the address it came from. Numbers run
// from 1; 0 is "none", also given once every number is taken.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quenza {

class THostTable {
 public:
  std::uint16_t Id(std::string_view host, std::string_view address);
  // The host and address of a number Id gave (empty for 0).
  const std::string& Host(std::uint16_t id) const { return senders_[id].host; }
  const std::string& Address(std::uint16_t id) const { return senders_[id].address; }
  // Numbers given so far run below this.
  std::size_t Count() const { return senders_.size(); }
  // The hosts seen, each once, in the order they came.
  std::vector<std::string> Hosts() const;

 private:
  struct TSender {
    std::string host, address;
  };
  std::vector<TSender> senders_ = std::vector<TSender>(1);  // [0]: none
  std::unordered_map<std::string, std::uint16_t> ids_;      // host '\0' address
  std::string key_;
  std::uint16_t lastId_ = 0;  // most lines come from the sender before them
};

}  // namespace quenza
