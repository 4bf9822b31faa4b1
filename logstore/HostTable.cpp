#include "HostTable.h"

#include <limits>
#include <unordered_set>

namespace quenza {

std::uint16_t THostTable::Id(std::string_view host, std::string_view address) {
  if (host.empty() && address.empty()) return 0;
  if (lastId_ != 0 && senders_[lastId_].host == host && senders_[lastId_].address == address) return lastId_;
  key_.assign(host);
  key_ += '\0';
  key_ += address;
  const auto found = ids_.find(key_);
  if (found != ids_.end()) return lastId_ = found->second;
  if (senders_.size() > std::numeric_limits<std::uint16_t>::max()) return 0;
  const auto id = static_cast<std::uint16_t>(senders_.size());
  senders_.push_back(TSender{std::string(host), std::string(address)});
  ids_.emplace(key_, id);
  return lastId_ = id;
}

std::vector<std::string> THostTable::Hosts() const {
  std::vector<std::string> hosts;
  std::unordered_set<std::string_view> seen;
  for (std::size_t i = 1; i < senders_.size(); ++i) {
    if (seen.insert(senders_[i].host).second) hosts.push_back(senders_[i].host);
  }
  return hosts;
}

}  // namespace quenza
