// LvProp blobs: "KKD\0" (Jet 3) or "MR2\0" (Jet 4), then chunks of a
// 32-bit length and a 16-bit kind. Kind 0x80 lists the property names;
// kinds 0 to 2 are blocks of values, each naming the column (or object) it
// belongs to, each value with its type and an index into the name list.
#include <cstring>
#include <stdexcept>

#include "import/JetFile.h"
#include "import/JetProperties.h"

namespace qrw::jet {

namespace {

unsigned Get16(const unsigned char* p) { return p[0] | (p[1] << 8); }
std::uint32_t Get32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

[[noreturn]] void Bad() { throw std::runtime_error("its property blob is damaged"); }

Variant Value(int type, const unsigned char* p, std::size_t n, bool jet4, int codePage) {
  auto need = [&](std::size_t k) {
    if (n < k) Bad();
  };
  switch (type) {
    case 1: need(1); return Variant::Bool(p[0] != 0);
    case 2: need(1); return Variant::Byte(p[0]);
    case 3: need(2); return Variant::Integer(static_cast<std::int16_t>(Get16(p)));
    case 4: need(4); return Variant::Long(static_cast<std::int32_t>(Get32(p)));
    case 5: {
      need(8);
      std::int64_t v;
      std::memcpy(&v, p, 8);
      return Variant::CurrencyScaled(v);
    }
    case 6: {
      need(4);
      float v;
      std::memcpy(&v, p, 4);
      return Variant::Single(v);
    }
    case 7: case 8: {
      need(8);
      double v;
      std::memcpy(&v, p, 8);
      return type == 7 ? Variant::Double(v) : Variant::Date(v);
    }
    case 10: case 12: return Variant::Text(DecodeText(p, n, jet4, codePage));
    default: return Variant::Text(std::string(reinterpret_cast<const char*>(p), n));
  }
}

}  // namespace

std::vector<PropertyBlock> ParseProperties(const std::string& blob, bool jet4, int codePage) {
  std::vector<PropertyBlock> out;
  if (blob.empty()) return out;
  if (blob.size() < 4 || (std::memcmp(blob.data(), "KKD", 4) != 0 && std::memcmp(blob.data(), "MR2", 4) != 0))
    Bad();
  const auto* b = reinterpret_cast<const unsigned char*>(blob.data());
  const std::size_t size = blob.size();
  std::vector<std::string> names;
  for (std::size_t pos = 4; pos + 6 <= size;) {
    const std::uint32_t len = Get32(b + pos);
    const unsigned kind = Get16(b + pos + 4);
    if (len < 6 || pos + len > size) Bad();
    const unsigned char* c = b + pos + 6;
    const std::size_t n = len - 6;
    if (kind == 0x80) {
      names.clear();
      for (std::size_t i = 0; i + 2 <= n;) {
        std::size_t k = Get16(c + i);
        if (i + 2 + k > n) Bad();
        names.push_back(DecodeText(c + i + 2, k, jet4, codePage));
        i += 2 + k;
      }
    } else if (kind <= 2) {
      if (n < 6) Bad();
      PropertyBlock block;
      const std::size_t nameLen = Get16(c + 4);
      if (6 + nameLen > n) Bad();
      block.name = DecodeText(c + 6, nameLen, jet4, codePage);
      for (std::size_t i = 6 + nameLen; i + 8 <= n;) {
        const std::size_t recLen = Get16(c + i);
        const int type = c[i + 3];
        const std::size_t nameIndex = Get16(c + i + 4);
        const std::size_t valueLen = Get16(c + i + 6);
        if (recLen < 8 || i + recLen > n || 8 + valueLen > recLen || nameIndex >= names.size()) Bad();
        block.properties.push_back({names[nameIndex], type, Value(type, c + i + 8, valueLen, jet4, codePage)});
        i += recLen;
      }
      out.push_back(std::move(block));
    }
    pos += len;
  }
  return out;
}

}  // namespace qrw::jet
