#include "tools/loopback_engine/link_table.h"

#include <utility>

#include "tools/loopback_engine/call_sign.h"

namespace tw::loopback {

LinkTable::EndKey LinkTable::KeyOf(int port, const LinkEnd& end) {
  return {end.client, port, CallKey(end.own), CallKey(end.remote)};
}

LinkTable::PairKey LinkTable::PairOf(int port, std::string_view a, std::string_view b) {
  std::string first = CallKey(a);
  std::string second = CallKey(b);
  if (second < first) std::swap(first, second);
  return {port, std::move(first), std::move(second)};
}

std::optional<EndRef> LinkTable::FindEnd(ClientId client, int port, std::string_view own,
                                         std::string_view remote) const {
  auto found = ends_.find(EndKey{client, port, CallKey(own), CallKey(remote)});
  if (found == ends_.end()) return std::nullopt;
  return found->second;
}

bool LinkTable::Joins(int port, std::string_view a, std::string_view b) const {
  return pairs_.contains(PairOf(port, a, b));
}

LinkId LinkTable::Add(Link link) {
  LinkId id = nextId_++;
  ends_[KeyOf(link.port, link.caller)] = EndRef{id, true};
  if (link.called) ends_[KeyOf(link.port, *link.called)] = EndRef{id, false};
  pairs_[PairOf(link.port, link.caller.own, link.caller.remote)] = id;
  links_.emplace(id, std::move(link));
  return id;
}

std::optional<Link> LinkTable::Remove(LinkId id) {
  auto found = links_.find(id);
  if (found == links_.end()) return std::nullopt;
  Link link = std::move(found->second);
  links_.erase(found);
  ends_.erase(KeyOf(link.port, link.caller));
  if (link.called) ends_.erase(KeyOf(link.port, *link.called));
  pairs_.erase(PairOf(link.port, link.caller.own, link.caller.remote));
  return link;
}

const Link* LinkTable::Find(LinkId id) const {
  auto found = links_.find(id);
  return found == links_.end() ? nullptr : &found->second;
}

std::vector<LinkId> LinkTable::LinksOf(ClientId client) const {
  std::vector<LinkId> ids;
  for (const auto& [id, link] : links_) {
    if (link.caller.client == client || (link.called && link.called->client == client)) {
      ids.push_back(id);
    }
  }
  return ids;
}

std::size_t LinkTable::CountOf(ClientId client) const {
  std::size_t count = 0;
  for (const auto& [id, link] : links_) {
    if (link.caller.client == client) ++count;
    if (link.called && link.called->client == client) ++count;
  }
  return count;
}

std::size_t LinkTable::CountOnPort(int port) const {
  std::size_t count = 0;
  for (const auto& [id, link] : links_) {
    if (link.port == port) ++count;
  }
  return count;
}

}  // namespace tw::loopback
