#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// Blowfish with 16 rounds in electronic-codebook mode, as the settings strings use it. A block's
// left half is its bytes 0..3 read as a little-endian 32-bit word and its right half bytes 4..7
// read the same way; enciphered halves are stored back in that order. The key schedule takes
// the key bytes most significant first, cycling through the key, and consumes at most 72 of them.
class cBlowfish {
 public:
  static constexpr size_t BLOCK_SIZE = 8;
  static constexpr size_t MAX_KEY_BYTES = 72;

  // Starts unkeyed, from the published initial values.
  cBlowfish();

  // Resets the P-array and S-boxes and runs the key schedule. An empty key cannot be cycled:
  // it is refused and the state is left at its initial values.
  bool KeySetup(std::span<const uint8_t> key);

  void EncipherBlock(uint32_t& uLeft, uint32_t& uRight) const;
  void DecipherBlock(uint32_t& uLeft, uint32_t& uRight) const;

  // Zero-pads the input to the next multiple of the block size and enciphers it block by block
  // into out (resized to fit). Returns the ciphertext length; zero for an empty input.
  size_t Encode(std::span<const uint8_t> input, std::vector<uint8_t>& out) const;
  // Deciphers block by block into out; the padding stays. Refuses an input that is not a whole
  // number of blocks.
  bool Decode(std::span<const uint8_t> input, std::vector<uint8_t>& out) const;

  static size_t CipherLength(size_t nPlainLength);

 private:
  uint32_t F(uint32_t x) const;
  void Network(uint32_t& uLeft, uint32_t& uRight, bool bReverse) const;
  // Runs every whole block of data through the network in place.
  void ApplyToBlocks(std::vector<uint8_t>& data, bool bDecipher) const;
  void Reset();

  uint32_t m_uP[18];
  uint32_t m_uS[4][256];
};
