// SQLite functions for the dialect's text functions, on characters (UTF-8
// code points) with 1-based positions, Null in giving Null out where the
// platform's functions do. They never write to the database.
#include "engine/sql/FnImpl.h"

namespace qrw::sql::fn {

namespace {

template <std::string (*Op)(std::string_view)>
void Text1(sqlite3_context* ctx, sqlite3_value** argv) {
  if (IsNull(argv[0])) {
    sqlite3_result_null(ctx);
    return;
  }
  Guard(ctx, [&] { ResultText(ctx, Op(AsText(argv[0]))); });
}

template <bool IsLeft>
void LeftRight(sqlite3_context* ctx, sqlite3_value** argv) {
  if (IsNull(argv[0])) {
    sqlite3_result_null(ctx);
    return;
  }
  Guard(ctx, [&] {
    long n = ArgLong(argv[1]);
    if (n < 0) rt::Raise(rt::kInvalidProcedureCall);
    std::string s = AsText(argv[0]);
    ResultText(ctx, IsLeft ? text::Left(s, n) : text::Right(s, n));
  });
}

}  // namespace

QRW_FN(FnMid) {
  if (IsNull(argv[0])) {
    sqlite3_result_null(ctx);
    return;
  }
  Guard(ctx, [&] {
    std::string s = AsText(argv[0]);
    long start = ArgLong(argv[1]);
    if (argc >= 3) {
      long len = ArgLong(argv[2]);
      if (len < 0) rt::Raise(rt::kInvalidProcedureCall);
      ResultText(ctx, text::Mid(s, start, len));
    } else {
      ResultText(ctx, text::Mid(s, start));
    }
  });
}

QRW_FN(FnLeft) { QRW_UNUSED; LeftRight<true>(ctx, argv); }
QRW_FN(FnRight) { QRW_UNUSED; LeftRight<false>(ctx, argv); }

QRW_FN(FnLen) {
  QRW_UNUSED;
  if (IsNull(argv[0])) {
    sqlite3_result_null(ctx);
    return;
  }
  Guard(ctx, [&] {
    if (sqlite3_value_type(argv[0]) == SQLITE_TEXT) {
      sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(text::Len(TextView(argv[0]))));
      return;
    }
    sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(text::Len(AsText(argv[0]))));
  });
}

QRW_FN(FnTrim) { QRW_UNUSED; Text1<text::Trim>(ctx, argv); }
QRW_FN(FnLTrim) { QRW_UNUSED; Text1<text::LTrim>(ctx, argv); }
QRW_FN(FnRTrim) { QRW_UNUSED; Text1<text::RTrim>(ctx, argv); }
QRW_FN(FnUCase) { QRW_UNUSED; Text1<text::UCase>(ctx, argv); }
QRW_FN(FnLCase) { QRW_UNUSED; Text1<text::LCase>(ctx, argv); }

// InStr([start,] text, sought[, compare]); compare 0 is binary, anything
// else (and the default) ignores case.
QRW_FN(FnInStr) {
  Guard(ctx, [&] {
    int k = 0;
    long start = 1;
    if (argc >= 3) {
      start = ArgLong(argv[0]);
      if (start < 1) rt::Raise(rt::kInvalidProcedureCall);
      k = 1;
    }
    bool ignoreCase = true;
    if (argc == 4) {
      if (IsNull(argv[3])) NullUse();
      ignoreCase = ArgLong(argv[3]) != 0;
    }
    if (IsNull(argv[k]) || IsNull(argv[k + 1])) {
      sqlite3_result_null(ctx);
      return;
    }
    std::string hay = AsText(argv[k]);
    std::string needle = AsText(argv[k + 1]);
    sqlite3_result_int64(ctx, text::InStr(start, hay, needle, ignoreCase));
  });
}

QRW_FN(FnReplace) {
  QRW_UNUSED;
  if (IsNull(argv[0])) {
    sqlite3_result_null(ctx);
    return;
  }
  Guard(ctx, [&] {
    if (IsNull(argv[1]) || IsNull(argv[2])) NullUse();
    std::string s = AsText(argv[0]);
    std::string find = AsText(argv[1]);
    std::string with = AsText(argv[2]);
    if (find.empty()) {
      ResultText(ctx, s);
      return;
    }
    std::string out;
    long pos = 1;
    const long len = static_cast<long>(text::Len(s));
    while (pos <= len) {
      long hit = text::InStr(pos, s, find, false);
      if (hit == 0) break;
      out += text::Mid(s, pos, hit - pos);
      out += with;
      pos = hit + static_cast<long>(text::Len(find));
    }
    if (pos <= len) out += text::Mid(s, pos);
    ResultText(ctx, out);
  });
}

QRW_FN(FnSpace) {
  QRW_UNUSED;
  Guard(ctx, [&] {
    long n = ArgLong(argv[0]);
    if (n < 0 || n > 1000000) rt::Raise(rt::kInvalidProcedureCall);
    ResultText(ctx, std::string(static_cast<std::size_t>(n), ' '));
  });
}

QRW_FN(FnChr) {
  QRW_UNUSED;
  Guard(ctx, [&] {
    long c = ArgLong(argv[0]);
    if (c < 0 || c > 255) rt::Raise(rt::kInvalidProcedureCall);
    ResultText(ctx, Encode(std::u32string(1, static_cast<char32_t>(c))));
  });
}

QRW_FN(FnAsc) {
  QRW_UNUSED;
  Guard(ctx, [&] {
    if (IsNull(argv[0])) NullUse();
    std::u32string s = Decode(AsText(argv[0]));
    if (s.empty()) rt::Raise(rt::kInvalidProcedureCall);
    sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(s[0]));
  });
}

QRW_FN(FnStrComp) {
  if (IsNull(argv[0]) || IsNull(argv[1])) {
    sqlite3_result_null(ctx);
    return;
  }
  Guard(ctx, [&] {
    bool ignoreCase = argc < 3 || ArgLong(argv[2]) != 0;
    int c = Variant::Compare(Variant::Text(AsText(argv[0])), Variant::Text(AsText(argv[1])), ignoreCase);
    sqlite3_result_int(ctx, c < 0 ? -1 : c > 0 ? 1 : 0);
  });
}

// InStrRev(text, sought[, start[, compare]]): the last position of sought
// that starts at or before start (-1, the default, is the end).
QRW_FN(FnInStrRev) {
  if (IsNull(argv[0]) || IsNull(argv[1])) return sqlite3_result_null(ctx);
  Guard(ctx, [&] {
    std::u32string hay = Decode(AsText(argv[0]));
    std::u32string needle = Decode(AsText(argv[1]));
    long start = argc >= 3 ? ArgLong(argv[2]) : -1;
    if (start == 0 || start < -1) rt::Raise(rt::kInvalidProcedureCall);
    bool ignoreCase = argc < 4 || ArgLong(argv[3]) != 0;
    const long len = static_cast<long>(hay.size()), nlen = static_cast<long>(needle.size());
    if (start == -1 || start > len) start = start == -1 ? len : start;
    if (start > len) return sqlite3_result_int(ctx, 0);
    if (nlen == 0) return sqlite3_result_int64(ctx, start);
    auto same = [&](char32_t a, char32_t b) { return ignoreCase ? Fold(a) == Fold(b) : a == b; };
    for (long p = start - nlen; p >= 0; --p) {
      bool hit = true;
      for (long k = 0; k < nlen && hit; ++k) hit = same(hay[static_cast<std::size_t>(p + k)], needle[static_cast<std::size_t>(k)]);
      if (hit) return sqlite3_result_int64(ctx, p + 1);
    }
    sqlite3_result_int(ctx, 0);
  });
}

// String(n, character): the character (a code or a text's first
// character) n times.
QRW_FN(FnString) {
  QRW_UNUSED;
  if (IsNull(argv[0]) || IsNull(argv[1])) return sqlite3_result_null(ctx);
  Guard(ctx, [&] {
    long n = ArgLong(argv[0]);
    if (n < 0 || n > 1000000) rt::Raise(rt::kInvalidProcedureCall);
    char32_t c;
    int t = sqlite3_value_type(argv[1]);
    if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) {
      c = static_cast<char32_t>(ArgLong(argv[1]) & 0xFF);
    } else {
      std::u32string s = Decode(AsText(argv[1]));
      if (s.empty()) rt::Raise(rt::kInvalidProcedureCall);
      c = s[0];
    }
    ResultText(ctx, Encode(std::u32string(static_cast<std::size_t>(n), c)));
  });
}

// Str(number): its text, with a leading blank where a sign would stand.
QRW_FN(FnStr) {
  QRW_UNUSED;
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  Guard(ctx, [&] {
    Variant v = Arg(argv[0]);
    if (v.IsText()) v = Variant::Double(v.ToDouble());
    std::string s = v.ToText();
    ResultText(ctx, (s.empty() || s[0] != '-') ? " " + s : s);
  });
}

}  // namespace qrw::sql::fn
