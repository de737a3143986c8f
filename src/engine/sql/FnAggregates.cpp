// Registered aggregates of the dialect: First and Last (the value of the
// group's first or last row, Null included), StDev, StDevP, Var and VarP
// (over the group's non-Null values, Null when there are too few). An
// optional second argument says whether the row counts (crosstab cells).
#include <cmath>

#include "engine/sql/FnImpl.h"

namespace qrw::sql::fn {

namespace {

struct Pick {
  bool seen = false;
  sqlite3_value* value = nullptr;
};

bool Counts(int argc, sqlite3_value** argv) {
  return argc < 2 || (!IsNull(argv[1]) && sqlite3_value_int64(argv[1]) != 0);
}

template <bool Last>
void PickStep(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (!Counts(argc, argv)) return;
  auto* p = static_cast<Pick*>(sqlite3_aggregate_context(ctx, sizeof(Pick)));
  if (!p) return sqlite3_result_error_nomem(ctx);
  if (p->seen && !Last) return;
  sqlite3_value_free(p->value);
  p->value = sqlite3_value_dup(argv[0]);
  p->seen = true;
}

// Welford's running mean and sum of squared differences.
struct Stat {
  double n = 0, mean = 0, m2 = 0;
};

void StatFinal(sqlite3_context* ctx, bool sample, bool root) {
  auto* s = static_cast<Stat*>(sqlite3_aggregate_context(ctx, 0));
  double n = s ? s->n : 0;
  if (n < (sample ? 2 : 1)) return sqlite3_result_null(ctx);
  double var = s->m2 / (sample ? n - 1 : n);
  sqlite3_result_double(ctx, root ? std::sqrt(var) : var);
}

}  // namespace

QRW_FN(FnFirstStep) { PickStep<false>(ctx, argc, argv); }
QRW_FN(FnLastStep) { PickStep<true>(ctx, argc, argv); }

void FnFirstFinal(sqlite3_context* ctx) {
  auto* p = static_cast<Pick*>(sqlite3_aggregate_context(ctx, 0));
  if (!p || !p->value) return sqlite3_result_null(ctx);
  sqlite3_result_value(ctx, p->value);
  sqlite3_value_free(p->value);
  p->value = nullptr;
}

QRW_FN(FnStatStep) {
  if (!Counts(argc, argv) || IsNull(argv[0])) return;
  auto* s = static_cast<Stat*>(sqlite3_aggregate_context(ctx, sizeof(Stat)));
  if (!s) return sqlite3_result_error_nomem(ctx);
  Guard(ctx, [&] {
    double x = Arg(argv[0]).ToDouble();
    s->n += 1;
    double d = x - s->mean;
    s->mean += d / s->n;
    s->m2 += d * (x - s->mean);
  });
}

void FnStDevFinal(sqlite3_context* ctx) { StatFinal(ctx, true, true); }
void FnStDevPFinal(sqlite3_context* ctx) { StatFinal(ctx, false, true); }
void FnVarFinal(sqlite3_context* ctx) { StatFinal(ctx, true, false); }
void FnVarPFinal(sqlite3_context* ctx) { StatFinal(ctx, false, false); }

}  // namespace qrw::sql::fn
