// Opening a Jet file: the header is checked here before libmdb sees it, so
// that a file that is not Jet, is of a later format, is truncated or has a
// database password is refused with a reason of its own; then the catalog
// is read from MSysObjects with the raw LvProp blobs kept.

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sys/stat.h>

#include "import/JetInternal.h"

namespace qrw::jet {

namespace {

void Rc4(const unsigned char* key, std::size_t keyLen, unsigned char* data, std::size_t n) {
  unsigned char s[256];
  for (int i = 0; i < 256; ++i) s[i] = static_cast<unsigned char>(i);
  for (int i = 0, j = 0; i < 256; ++i) {
    j = (j + s[i] + key[i % keyLen]) & 0xFF;
    std::swap(s[i], s[j]);
  }
  for (std::size_t k = 0, i = 0, j = 0; k < n; ++k) {
    i = (i + 1) & 0xFF;
    j = (j + s[i]) & 0xFF;
    std::swap(s[i], s[j]);
    data[k] ^= s[(s[i] + s[j]) & 0xFF];
  }
}

[[noreturn]] void Refuse(JetError::Kind kind, const std::string& why) { throw JetError(kind, why); }

// The header page: signature, version, code page and the password field.
// The password is kept masked in the header; an empty one decodes to zeros.
void CheckHeader(const std::string& path, bool& jet4, int& codePage) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) Refuse(JetError::Kind::Unreadable, std::strerror(errno));
  if (S_ISDIR(st.st_mode)) Refuse(JetError::Kind::Unreadable, "is a folder, not a file");
  std::ifstream in(path, std::ios::binary);
  if (!in) Refuse(JetError::Kind::Unreadable, std::strerror(errno));
  unsigned char h[0x100] = {};  // the masked part runs to 0x98
  in.read(reinterpret_cast<char*>(h), sizeof h);
  if (in.gcount() < static_cast<std::streamsize>(sizeof h) || h[0] != 0 ||
      (std::memcmp(h + 4, "Standard Jet DB", 15) != 0 && std::memcmp(h + 4, "Standard ACE DB", 15) != 0))
    Refuse(JetError::Kind::NotJet, "not a Jet database");
  int version = h[0x14];
  if (version > 1 || std::memcmp(h + 4, "Standard ACE DB", 15) == 0)
    Refuse(JetError::Kind::Unsupported,
           "a database of a later format (version " + std::to_string(version) +
               "), not Jet 3 or Jet 4");
  jet4 = version == 1;
  const long pageSize = jet4 ? 4096 : 2048;
  if (st.st_size % pageSize != 0 || st.st_size < 3 * pageSize)
    Refuse(JetError::Kind::Damaged, "damaged: the file is not a whole number of pages");

  const unsigned char key[4] = {0xC7, 0xDA, 0x39, 0x6B};
  Rc4(key, 4, h + 0x18, jet4 ? 128 : 126);
  codePage = h[0x3c] | (h[0x3d] << 8);
  unsigned char mask[4] = {0, 0, 0, 0};
  if (jet4) {
    double created = 0;
    std::memcpy(&created, h + 0x72, 8);
    auto m = static_cast<std::int32_t>(created);
    std::memcpy(mask, &m, 4);
  }
  const int pwLen = jet4 ? 40 : 20;
  for (int i = 0; i < pwLen; ++i)
    if ((h[0x42 + i] ^ mask[i % 4]) != 0)
      Refuse(JetError::Kind::Password, "protected by a database password");
}

}  // namespace

File::File(const std::string& path) : path_(path), impl_(std::make_unique<Impl>()) {
  CheckHeader(path, jet4_, codePage_);
  impl_->mdb = mdb_open(path.c_str(), MDB_NOFLAGS);
  if (!impl_->mdb) Refuse(JetError::Kind::Damaged, "damaged: libmdb cannot open it");
  impl_->jet4 = jet4_;
  impl_->codePage = codePage_;
  ReadCatalog(*impl_, catalog_);
}

File::~File() = default;

}  // namespace qrw::jet
