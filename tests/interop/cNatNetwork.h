#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A home router built from network namespaces: "inside" (10.77.1.2, default route to the
// router), "router" (10.77.1.1 and 198.51.100.1, forwarding, nftables masquerading whatever
// leaves toward the outside and letting in only what belongs to flows opened from inside) and
// "outside" (198.51.100.2, no route to the inside at all). Each namespace link is a veth pair.
// The calling thread (and every thread it starts afterwards) moves inside; the destructor moves
// it back and deletes the namespaces, whatever happened in between.
class cNatNetwork {
 public:
  static constexpr const char* kInsideIP = "10.77.1.2";
  static constexpr const char* kPublicIP = "198.51.100.1";
  static constexpr const char* kOutsideIP = "198.51.100.2";

  // bBuild false: nothing is built, the thread stays where it is.
  explicit cNatNetwork(bool bBuild);
  ~cNatNetwork();
  cNatNetwork(const cNatNetwork&) = delete;
  cNatNetwork& operator=(const cNatNetwork&) = delete;

  bool IsBuilt() const { return m_bInside; }
  // Why it was not built (not root, no ip or nft, a command failed); empty when built.
  const std::string& Failure() const { return m_sFailure; }
  // Not built because this machine cannot (not root, no ip or nft, namespaces refused): a test
  // skips rather than fails.
  bool IsUnavailable() const { return m_bUnavailable; }
  // "ip netns exec <outside>": run a program in the outside namespace.
  std::vector<std::string> OutsideLauncher() const;
  // Whether a socket of the outside namespace holds this UDP port of the outside address.
  bool IsUdpTakenOutside(uint16_t nPort) const;

 private:
  bool Build();
  bool Run(const std::vector<std::string>& argv, const std::string& sInput = "");
  void Remove();

  std::string m_sInside;
  std::string m_sRouter;
  std::string m_sOutside;
  std::string m_sLog;
  int m_nHomeFd = -1;
  bool m_bInside = false;
  bool m_bUnavailable = false;
  std::string m_sFailure;
};
