#include "encrypt/cBlowfish.h"

#include <algorithm>
#include <utility>

#include "encrypt/BlowfishPi.h"

namespace {

uint32_t LoadLittleEndian(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void StoreLittleEndian(uint32_t uWord, uint8_t* p) {
  p[0] = static_cast<uint8_t>(uWord);
  p[1] = static_cast<uint8_t>(uWord >> 8);
  p[2] = static_cast<uint8_t>(uWord >> 16);
  p[3] = static_cast<uint8_t>(uWord >> 24);
}

}  // namespace

cBlowfish::cBlowfish() { Reset(); }

void cBlowfish::Reset() {
  std::copy(std::begin(kBlowfishInitP), std::end(kBlowfishInitP), m_uP);
  for (size_t box = 0; box < 4; ++box) {
    std::copy(std::begin(kBlowfishInitS[box]), std::end(kBlowfishInitS[box]), m_uS[box]);
  }
}

bool cBlowfish::KeySetup(std::span<const uint8_t> key) {
  Reset();
  if (key.empty()) return false;
  size_t j = 0;
  for (uint32_t& uP : m_uP) {
    uint32_t uWord = 0;
    for (int n = 0; n < 4; ++n) {
      uWord = uWord << 8 | key[j];
      j = (j + 1) % key.size();
    }
    uP ^= uWord;
  }
  uint32_t uLeft = 0;
  uint32_t uRight = 0;
  for (size_t i = 0; i < 18; i += 2) {
    EncipherBlock(uLeft, uRight);
    m_uP[i] = uLeft;
    m_uP[i + 1] = uRight;
  }
  for (auto& box : m_uS) {
    for (size_t i = 0; i < 256; i += 2) {
      EncipherBlock(uLeft, uRight);
      box[i] = uLeft;
      box[i + 1] = uRight;
    }
  }
  return true;
}

uint32_t cBlowfish::F(uint32_t x) const {
  return ((m_uS[0][x >> 24] + m_uS[1][(x >> 16) & 0xFF]) ^ m_uS[2][(x >> 8) & 0xFF]) +
         m_uS[3][x & 0xFF];
}

void cBlowfish::Network(uint32_t& uLeft, uint32_t& uRight, bool bReverse) const {
  // Deciphering is the same network with the P-array read from the other end.
  const auto p = [this, bReverse](size_t i) { return m_uP[bReverse ? 17 - i : i]; };
  uint32_t l = uLeft;
  uint32_t r = uRight;
  for (size_t i = 0; i < 16; ++i) {
    l ^= p(i);
    r ^= F(l);
    std::swap(l, r);
  }
  std::swap(l, r);
  r ^= p(16);
  l ^= p(17);
  uLeft = l;
  uRight = r;
}

void cBlowfish::EncipherBlock(uint32_t& uLeft, uint32_t& uRight) const {
  Network(uLeft, uRight, false);
}

void cBlowfish::DecipherBlock(uint32_t& uLeft, uint32_t& uRight) const {
  Network(uLeft, uRight, true);
}

size_t cBlowfish::CipherLength(size_t nPlainLength) {
  return (nPlainLength + BLOCK_SIZE - 1) / BLOCK_SIZE * BLOCK_SIZE;
}

void cBlowfish::ApplyToBlocks(std::vector<uint8_t>& data, bool bDecipher) const {
  for (size_t offset = 0; offset < data.size(); offset += BLOCK_SIZE) {
    uint32_t uLeft = LoadLittleEndian(&data[offset]);
    uint32_t uRight = LoadLittleEndian(&data[offset + 4]);
    Network(uLeft, uRight, bDecipher);
    StoreLittleEndian(uLeft, &data[offset]);
    StoreLittleEndian(uRight, &data[offset + 4]);
  }
}

size_t cBlowfish::Encode(std::span<const uint8_t> input, std::vector<uint8_t>& out) const {
  out.assign(CipherLength(input.size()), 0);
  std::copy(input.begin(), input.end(), out.begin());
  ApplyToBlocks(out, false);
  return out.size();
}

bool cBlowfish::Decode(std::span<const uint8_t> input, std::vector<uint8_t>& out) const {
  if (input.size() % BLOCK_SIZE != 0) return false;
  out.assign(input.begin(), input.end());
  ApplyToBlocks(out, true);
  return true;
}
