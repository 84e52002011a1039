#pragma once
// Each model type's fields described once: a row per field with its name, its kind, where it
// sits in the object and what it takes part in. The file, the script objects, the undo
// commands and the lighting read these rows rather than listing the fields again, so a new
// field is its member and one row.
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "map/objects.h"
#include "tiles/tile.h"

namespace vorlane::map {

// `records` stands for a pivot's record list, which the file holds at that place; `shown` for
// the file's flag of the object the editor shows as selected, which is the view's, not the
// object's: written from the view, passed over on reading.
enum class FieldKind { number, integer, flag, text, records, shown };

// What a field takes part in (bits of Field::uses).
enum FieldUse : unsigned {
  kSaved = 1u << 0,     // the map section, in row order
  kScripted = 1u << 1,  // a field of the script object, under its name
  kReadOnly = 1u << 2,  // which scripts read but cannot set
  kLit = 1u << 3,       // what the lighting reads: a change lights the map anew
  kEdited = 1u << 4,    // what the object's window (or the Tools window's boxes) sets
};

// One field of a T: the member that holds it, by kind (flags are 0/1 integers).
template <typename T>
struct Field {
  const char* name;
  FieldKind kind;
  unsigned uses;
  float T::*number = nullptr;
  std::int32_t T::*integer = nullptr;
  std::string T::*text = nullptr;
  constexpr bool in(unsigned use) const { return (uses & use) != 0; }
};

template <typename T>
constexpr Field<T> numberField(const char* name, float T::*member, unsigned uses) {
  return {name, FieldKind::number, uses, member, nullptr, nullptr};
}
template <typename T>
constexpr Field<T> integerField(const char* name, std::int32_t T::*member, unsigned uses) {
  return {name, FieldKind::integer, uses, nullptr, member, nullptr};
}
template <typename T>
constexpr Field<T> flagField(const char* name, std::int32_t T::*member, unsigned uses) {
  return {name, FieldKind::flag, uses, nullptr, member, nullptr};
}
template <typename T>
constexpr Field<T> textField(const char* name, std::string T::*member, unsigned uses) {
  return {name, FieldKind::text, uses, nullptr, nullptr, member};
}

inline constexpr unsigned kLightColour = kSaved | kScripted | kLit | kEdited;
inline constexpr unsigned kPlace = kSaved | kScripted | kLit;

// Rows in file order.
inline constexpr std::array kLightFields{
    numberField("red", &Light::red, kLightColour),
    numberField("green", &Light::green, kLightColour),
    numberField("blue", &Light::blue, kLightColour),
    numberField("x", &Light::x, kPlace),
    numberField("y", &Light::y, kPlace),
    integerField("layer", &Light::layer, kPlace),
    Field<Light>{"selected", FieldKind::shown, kSaved},
    numberField("range", &Light::range, kLightColour),
    flagField("castShadows", &Light::castShadows, kLightColour),
};

inline constexpr std::array kPivotFields{
    numberField("x", &Pivot::x, kSaved | kScripted),
    numberField("y", &Pivot::y, kSaved | kScripted),
    integerField("layer", &Pivot::layer, kSaved | kScripted),
    textField("link", &Pivot::link, kSaved | kScripted | kEdited),
    Field<Pivot>{"records", FieldKind::records, kSaved},
    Field<Pivot>{"selected", FieldKind::shown, kSaved},
};

inline constexpr std::array kRecordFields{
    textField("name", &record::name, kSaved | kScripted | kEdited),
    textField("value", &record::value, kSaved | kScripted | kEdited),
};

// A tile's own fields; its images and grids are its content, kept by its record in tiles/.
inline constexpr std::array kTileFields{
    textField("path", &tiles::Tile::path, kScripted),
    flagField("castShadows", &tiles::Tile::castShadows, kScripted | kEdited),
    flagField("collider", &tiles::Tile::collider, kScripted | kEdited),
};

// The values of the fields of one use, in row order (what an undo step keeps).
using FieldValue = std::variant<float, std::int32_t, std::string>;

template <typename T, std::size_t N>
std::vector<FieldValue> valuesOf(const std::array<Field<T>, N>& fields, unsigned use, const T& object) {
  std::vector<FieldValue> values;
  for (const auto& f : fields) {
    if (!f.in(use)) continue;
    if (f.kind == FieldKind::number) values.emplace_back(object.*f.number);
    if (f.kind == FieldKind::integer || f.kind == FieldKind::flag) values.emplace_back(object.*f.integer);
    if (f.kind == FieldKind::text) values.emplace_back(object.*f.text);
  }
  return values;
}

template <typename T, std::size_t N>
void setValues(const std::array<Field<T>, N>& fields, unsigned use, T& object, const std::vector<FieldValue>& values) {
  std::size_t k = 0;
  for (const auto& f : fields) {
    if (!f.in(use) || f.kind == FieldKind::records || f.kind == FieldKind::shown || k >= values.size()) continue;
    const FieldValue& v = values[k++];
    if (f.kind == FieldKind::number) object.*f.number = std::get<float>(v);
    if (f.kind == FieldKind::integer || f.kind == FieldKind::flag) object.*f.integer = std::get<std::int32_t>(v);
    if (f.kind == FieldKind::text) object.*f.text = std::get<std::string>(v);
  }
}

// Numbers bit for bit, as a save tells them apart: -0 is not 0, and a NaN is itself.
template <typename T, std::size_t N>
bool sameFields(const std::array<Field<T>, N>& fields, unsigned use, const T& a, const T& b) {
  for (const auto& f : fields) {
    if (!f.in(use)) continue;
    if (f.kind == FieldKind::number &&
        std::bit_cast<std::uint32_t>(a.*f.number) != std::bit_cast<std::uint32_t>(b.*f.number))
      return false;
    if ((f.kind == FieldKind::integer || f.kind == FieldKind::flag) && a.*f.integer != b.*f.integer) return false;
    if (f.kind == FieldKind::text && a.*f.text != b.*f.text) return false;
  }
  return true;
}

}  // namespace vorlane::map
