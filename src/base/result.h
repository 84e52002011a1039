#pragma once
// Either a value or an error message: the one error convention for readers, decoders and commands.
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace vorlane::base {

struct Error {
  std::string message;
};

template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::move(value)) {}
  Result(Error error) : state_(std::move(error)) {}

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }
  T& value() & { return std::get<0>(state_); }
  const T& value() const& { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  T& operator*() & { return value(); }
  const std::string& error() const { return std::get<1>(state_).message; }

 private:
  std::variant<T, Error> state_;
};

// An allocation sized by input that the machine could not give: the operation's ordinary
// error, "Not enough memory to " + what + ".", never an abort.
inline constexpr const char* kNotEnoughMemory = "Not enough memory to ";
inline Error outOfMemory(const std::string& what) { return Error{kNotEnoughMemory + what + "."}; }
inline bool isOutOfMemory(const std::string& message) { return message.rfind(kNotEnoughMemory, 0) == 0; }

// For operations that return nothing but may fail.
struct Ok {};
using Status = Result<Ok>;
inline Status success() { return Ok{}; }

}  // namespace vorlane::base
