#pragma once
// Tests and benchmarks change the tiles and objects of maps they built themselves in place, as
// the editor's commands change the document's; everywhere else those parts are read-only.
#include <memory>

namespace vorlane::test {

template <typename T>
std::shared_ptr<T> writable(const std::shared_ptr<const T>& part) {
  return std::const_pointer_cast<T>(part);
}

}  // namespace vorlane::test
