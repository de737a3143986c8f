// The SQLite functions behind the dialect, by concern: values, operators
// and conversions (FnValues.cpp), text (FnText.cpp), numbers and dates
// (FnNumbersDates.cpp, FnDateCalc.cpp),
// formatting (FnFormat.cpp) and aggregates (FnAggregates.cpp). Only the function table (FunctionTable.cpp) names
// them: it says which dialect name and arity each one serves.
#pragma once

#include "engine/sql/FnSupport.h"

namespace qrw::sql::fn {

// Values, operators, conversions.
QRW_FN(FnStore);
QRW_FN(FnConcat);
QRW_FN(FnAdd);
QRW_FN(FnSub);
QRW_FN(FnMul);
QRW_FN(FnDiv);
QRW_FN(FnIntDiv);
QRW_FN(FnMod);
QRW_FN(FnPow);
QRW_FN(FnNeg);
QRW_FN(FnNot);
QRW_FN(FnAnd);
QRW_FN(FnOr);
QRW_FN(FnXor);
QRW_FN(FnEqv);
QRW_FN(FnImp);
QRW_FN(FnLike);
QRW_FN(FnIsNumeric);
QRW_FN(FnVal);
QRW_FN(FnCStr);
QRW_FN(FnCLng);
QRW_FN(FnCInt);
QRW_FN(FnCByte);
QRW_FN(FnCDbl);
QRW_FN(FnCSng);
QRW_FN(FnCCur);
QRW_FN(FnCBool);
QRW_FN(FnCDate);

// Text.
QRW_FN(FnMid);
QRW_FN(FnLeft);
QRW_FN(FnRight);
QRW_FN(FnLen);
QRW_FN(FnTrim);
QRW_FN(FnLTrim);
QRW_FN(FnRTrim);
QRW_FN(FnUCase);
QRW_FN(FnLCase);
QRW_FN(FnInStr);
QRW_FN(FnReplace);
QRW_FN(FnSpace);
QRW_FN(FnChr);
QRW_FN(FnAsc);
QRW_FN(FnStrComp);
QRW_FN(FnInStrRev);
QRW_FN(FnString);
QRW_FN(FnStr);
QRW_FN(FnFormat);

// Numbers and dates.
QRW_FN(FnAbs);
QRW_FN(FnInt);
QRW_FN(FnFix);
QRW_FN(FnRound);
QRW_FN(FnSgn);
QRW_FN(FnToday);
QRW_FN(FnNow);
QRW_FN(FnYear);
QRW_FN(FnMonth);
QRW_FN(FnDay);
QRW_FN(FnHour);
QRW_FN(FnMinute);
QRW_FN(FnSecond);
QRW_FN(FnWeekday);
QRW_FN(FnDatePart);
QRW_FN(FnDateAdd);
QRW_FN(FnDateDiff);
QRW_FN(FnDateSerial);
QRW_FN(FnTimeSerial);
QRW_FN(FnDateValue);
QRW_FN(FnTimeValue);
QRW_FN(FnMonthName);
QRW_FN(FnWeekdayName);

// Aggregates (FnAggregates.cpp).
QRW_FN(FnFirstStep);
QRW_FN(FnLastStep);
void FnFirstFinal(sqlite3_context* ctx);
QRW_FN(FnStatStep);
void FnStDevFinal(sqlite3_context* ctx);
void FnStDevPFinal(sqlite3_context* ctx);
void FnVarFinal(sqlite3_context* ctx);
void FnVarPFinal(sqlite3_context* ctx);

}  // namespace qrw::sql::fn
