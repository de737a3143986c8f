// The one error type of the program.
//
// Every failure that a procedure can trap carries a number and a description,
// as the product's run-time and database errors always have: the value type
// raises the run-time numbers (6, 13, 91, 94), the engine raises its own
// (3000 and up, listed in engine/ErrorCodes.h).
#pragma once

#include <exception>
#include <string>

namespace qrw {

class Error : public std::exception {
 public:
  Error(long number, std::string description)
      : number_(number), description_(std::move(description)) {}

  long Number() const noexcept { return number_; }
  const std::string& Description() const noexcept { return description_; }
  const char* what() const noexcept override { return description_.c_str(); }

 private:
  long number_;
  std::string description_;
};

// Run-time error numbers of the value type and of object variables.
namespace rt {
inline constexpr long kOverflow = 6;
inline constexpr long kTypeMismatch = 13;
inline constexpr long kObjectNotSet = 91;
inline constexpr long kInvalidUseOfNull = 94;
inline constexpr long kInvalidProcedureCall = 5;

[[noreturn]] void Raise(long number);  // with the standard description
std::string Description(long number);
}  // namespace rt

}  // namespace qrw
