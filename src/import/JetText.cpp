// Text and the odd value kinds of a Jet file turned into the program's
// values: Jet 4 text (UTF-16, possibly in its compressed form, surrogate
// pairs kept), Jet 3 text through the file's code page, GUIDs and the
// 17-byte Decimal.
#include <iconv.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "import/JetFile.h"

namespace qrw::jet {

namespace {

void PutUtf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// UTF-16 code units to UTF-8. A lone surrogate (which Jet accepts) becomes
// U+FFFD rather than invalid UTF-8.
std::string Utf16ToUtf8(const std::u16string& units) {
  std::string out;
  out.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    std::uint32_t u = units[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      u = 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      u = 0xFFFD;
    }
    PutUtf8(out, u);
  }
  return out;
}

// Jet 4's compressed text starts with FF FE; then single bytes stand for
// characters below U+0100, and each 00 byte switches between single bytes
// and plain two-byte units.
std::u16string Jet4Units(const unsigned char* p, std::size_t n) {
  std::u16string units;
  if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
    bool compressed = true;
    std::size_t i = 2;
    while (i < n) {
      if (p[i] == 0) {
        compressed = !compressed;
        ++i;
      } else if (compressed) {
        units += static_cast<char16_t>(p[i++]);
      } else if (i + 1 < n) {
        units += static_cast<char16_t>(p[i] | (p[i + 1] << 8));
        i += 2;
      } else {
        break;
      }
    }
    return units;
  }
  units.reserve(n / 2);
  for (std::size_t i = 0; i + 1 < n; i += 2) units += static_cast<char16_t>(p[i] | (p[i + 1] << 8));
  return units;
}

std::string CodePageToUtf8(const unsigned char* p, std::size_t n, int codePage) {
  bool ascii = true;
  for (std::size_t i = 0; i < n && ascii; ++i) ascii = p[i] < 0x80;
  if (ascii) return std::string(reinterpret_cast<const char*>(p), n);
  std::string name = "CP" + std::to_string(codePage > 0 ? codePage : 1252);
  iconv_t cd = iconv_open("UTF-8", name.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) cd = iconv_open("UTF-8", "CP1252");
  std::string out(n * 4 + 4, '\0');
  char* in = const_cast<char*>(reinterpret_cast<const char*>(p));
  std::size_t inLeft = n, outLeft = out.size();
  char* o = out.data();
  while (inLeft > 0) {
    if (iconv(cd, &in, &inLeft, &o, &outLeft) != static_cast<std::size_t>(-1)) break;
    // A byte the code page does not define: keep going with U+FFFD.
    if (outLeft < 3) break;
    std::memcpy(o, "\xEF\xBF\xBD", 3);
    o += 3;
    outLeft -= 3;
    ++in;
    --inLeft;
  }
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}

}  // namespace

std::string DecodeText(const unsigned char* p, std::size_t n, bool jet4, int codePage) {
  if (n == 0) return std::string();
  return jet4 ? Utf16ToUtf8(Jet4Units(p, n)) : CodePageToUtf8(p, n, codePage);
}

std::string GuidText(const unsigned char* p) {
  char buf[40];
  std::snprintf(buf, sizeof buf,
                "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", p[3], p[2],
                p[1], p[0], p[5], p[4], p[7], p[6], p[8], p[9], p[10], p[11], p[12], p[13], p[14],
                p[15]);
  return buf;
}

// Byte 0 is the sign (0x80 negative); then four 32-bit little-endian words,
// most significant first, hold the unscaled 128-bit integer.
double NumericToDouble(const unsigned char* p, int scale) {
  double v = 0;
  for (int w = 0; w < 4; ++w) {
    const unsigned char* q = p + 1 + 4 * w;
    std::uint32_t word = q[0] | (q[1] << 8) | (q[2] << 16) | (static_cast<std::uint32_t>(q[3]) << 24);
    v = v * 4294967296.0 + word;
  }
  v /= std::pow(10.0, scale);
  return (p[0] & 0x80) ? -v : v;
}

}  // namespace qrw::jet
