// Writes the Blowfish start values as a C++ header: the first 18 + 4 * 256 32-bit words of the
// fractional part of pi in hexadecimal. They are computed exactly with Machin's formula,
// pi = 16 atan(1/5) - 4 atan(1/239), in fixed point with guard words, so no table of digits has
// to be typed in or copied from anywhere.
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr size_t kPWords = 18;
constexpr size_t kSBoxWords = 256;
constexpr size_t kSBoxes = 4;
constexpr size_t kWords = kPWords + kSBoxes * kSBoxWords;
// Every division truncates by less than one unit of the last word; four guard words absorb the
// accumulated error of the few thousand divisions by a wide margin.
constexpr size_t kGuardWords = 4;
// Word 0 holds the integer part, the fraction follows most significant word first.
constexpr size_t kFixedWords = 1 + kWords + kGuardWords;

using Fixed = std::vector<uint32_t>;

bool IsZero(const Fixed& x) {
  for (uint32_t word : x) {
    if (word != 0) return false;
  }
  return true;
}

void DivideBy(Fixed& x, uint32_t divisor) {
  uint64_t remainder = 0;
  for (uint32_t& word : x) {
    const uint64_t current = (remainder << 32) | word;
    word = static_cast<uint32_t>(current / divisor);
    remainder = current % divisor;
  }
}

void MultiplyBy(Fixed& x, uint32_t factor) {
  uint64_t carry = 0;
  for (size_t i = x.size(); i-- > 0;) {
    const uint64_t product = static_cast<uint64_t>(x[i]) * factor + carry;
    x[i] = static_cast<uint32_t>(product);
    carry = product >> 32;
  }
}

void Add(Fixed& sum, const Fixed& x) {
  uint64_t carry = 0;
  for (size_t i = sum.size(); i-- > 0;) {
    const uint64_t total = static_cast<uint64_t>(sum[i]) + x[i] + carry;
    sum[i] = static_cast<uint32_t>(total);
    carry = total >> 32;
  }
}

void Subtract(Fixed& difference, const Fixed& x) {
  uint64_t borrow = 0;
  for (size_t i = difference.size(); i-- > 0;) {
    const uint64_t subtrahend = static_cast<uint64_t>(x[i]) + borrow;
    borrow = difference[i] < subtrahend ? 1 : 0;
    difference[i] =
        static_cast<uint32_t>((static_cast<uint64_t>(difference[i]) + (borrow << 32)) - subtrahend);
  }
}

// atan(1/n) = 1/n - 1/(3 n^3) + 1/(5 n^5) - ...
Fixed ArcTanOfInverse(uint32_t n) {
  Fixed sum(kFixedWords, 0);
  Fixed power(kFixedWords, 0);
  power[0] = 1;
  DivideBy(power, n);
  for (uint32_t k = 0; !IsZero(power); ++k) {
    Fixed term = power;
    DivideBy(term, 2 * k + 1);
    if (k % 2 == 0) {
      Add(sum, term);
    } else {
      Subtract(sum, term);
    }
    DivideBy(power, n * n);
  }
  return sum;
}

Fixed Pi() {
  Fixed pi = ArcTanOfInverse(5);
  MultiplyBy(pi, 16);
  Fixed tail = ArcTanOfInverse(239);
  MultiplyBy(tail, 4);
  Subtract(pi, tail);
  return pi;
}

void WriteWords(FILE* out, const uint32_t* words, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    std::fprintf(out, "%s0x%08X,%s", i % 6 == 0 ? "    " : " ", static_cast<unsigned>(words[i]),
                 i % 6 == 5 || i + 1 == count ? "\n" : "");
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.h\n", argv[0]);
    return 2;
  }
  const Fixed pi = Pi();
  if (pi[0] != 3) {
    std::fprintf(stderr, "pi came out with integer part %u\n", static_cast<unsigned>(pi[0]));
    return 1;
  }
  FILE* out = std::fopen(argv[1], "w");
  if (out == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  const uint32_t* fraction = pi.data() + 1;
  std::fprintf(out,
               "// Generated at build time: the fractional hexadecimal digits of pi, 8 to a word.\n"
               "#pragma once\n\n#include <cstdint>\n\n"
               "inline constexpr std::uint32_t kBlowfishInitP[%zu] = {\n",
               kPWords);
  WriteWords(out, fraction, kPWords);
  std::fprintf(out, "};\n\ninline constexpr std::uint32_t kBlowfishInitS[%zu][%zu] = {\n", kSBoxes,
               kSBoxWords);
  for (size_t box = 0; box < kSBoxes; ++box) {
    std::fprintf(out, "  {\n");
    WriteWords(out, fraction + kPWords + box * kSBoxWords, kSBoxWords);
    std::fprintf(out, "  },\n");
  }
  std::fprintf(out, "};\n");
  const bool ok = std::fclose(out) == 0;
  if (!ok) std::perror(argv[1]);
  return ok ? 0 : 1;
}
