// The engine's AX.25 links: each joins a client's call-sign to another
// client's registered call-sign, or to the built-in echo station, on one
// port. Each end is known by the calls as that end's client spells them;
// lookups compare call keys, so "n0call-0" finds "N0CALL".
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace tw::loopback {

using ClientId = std::uint32_t;
using LinkId = std::uint64_t;

struct LinkEnd {
  ClientId client = 0;
  std::string own;     // this end's call, as its client spells it
  std::string remote;  // the other station, as this end's client spells it
};

struct Link {
  int port = 0;
  LinkEnd caller;
  std::optional<LinkEnd> called;  // empty when the echo station answers
};

struct EndRef {
  LinkId id = 0;
  bool isCaller = false;
};

class LinkTable {
 public:
  // The link in which `client` is the end (own, remote) on `port`.
  std::optional<EndRef> FindEnd(ClientId client, int port, std::string_view own,
                                std::string_view remote) const;

  // Some link joins these two stations on `port`, whichever called.
  bool Joins(int port, std::string_view a, std::string_view b) const;

  // The caller must have checked Joins and FindEnd for both ends first.
  LinkId Add(Link link);
  std::optional<Link> Remove(LinkId id);
  const Link* Find(LinkId id) const;

  std::vector<LinkId> LinksOf(ClientId client) const;
  std::size_t CountOf(ClientId client) const;
  std::size_t CountOnPort(int port) const;
  std::size_t Size() const { return links_.size(); }

 private:
  using EndKey = std::tuple<ClientId, int, std::string, std::string>;
  using PairKey = std::tuple<int, std::string, std::string>;

  static EndKey KeyOf(int port, const LinkEnd& end);
  static PairKey PairOf(int port, std::string_view a, std::string_view b);

  LinkId nextId_ = 1;
  std::map<LinkId, Link> links_;
  std::map<EndKey, EndRef> ends_;
  std::map<PairKey, LinkId> pairs_;
};

}  // namespace tw::loopback
