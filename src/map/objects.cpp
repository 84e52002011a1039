#include "map/objects.h"

#include "base/convert.h"
#include "map/fields.h"

namespace vorlane::map {

namespace {

// The saved fields in row order; `list` writes or reads a record list where its row stands.
template <typename T, std::size_t N, typename List>
void writeFields(base::ByteWriter& out, const std::array<Field<T>, N>& fields, const T& object, bool selected,
                 List&& list) {
  for (const auto& f : fields) {
    if (!f.in(kSaved)) continue;
    switch (f.kind) {
      case FieldKind::number: out.float32(object.*f.number); break;
      case FieldKind::integer:
      case FieldKind::flag: out.int32(object.*f.integer); break;
      case FieldKind::text: out.line(object.*f.text); break;
      case FieldKind::records: list(); break;
      case FieldKind::shown: out.int32(selected ? 1 : 0); break;
    }
  }
}

template <typename T, std::size_t N, typename List>
void readFields(base::ByteReader& in, const std::array<Field<T>, N>& fields, T& object, List&& list) {
  for (const auto& f : fields) {
    if (!f.in(kSaved)) continue;
    switch (f.kind) {
      case FieldKind::number: object.*f.number = in.float32(); break;
      case FieldKind::integer:
      case FieldKind::flag: object.*f.integer = in.int32(); break;
      case FieldKind::text: object.*f.text = in.line(); break;
      case FieldKind::records: list(); break;
      case FieldKind::shown: in.int32(); break;
    }
  }
}

}  // namespace

std::shared_ptr<Light> Light::createLight(float x, float y, float layer, float red, float green, float blue) {
  auto light = std::make_shared<Light>();
  light->x = x;
  light->y = y;
  light->layer = base::floatToInt(layer);
  light->red = red;
  light->green = green;
  light->blue = blue;
  return light;
}

void Light::write(base::ByteWriter& out, bool selected) const {
  writeFields(out, kLightFields, *this, selected, [] {});
}

void Light::read(base::ByteReader& in) { readFields(in, kLightFields, *this, [] {}); }

void record::write(base::ByteWriter& out) const { writeFields(out, kRecordFields, *this, false, [] {}); }

void record::read(base::ByteReader& in) { readFields(in, kRecordFields, *this, [] {}); }

std::shared_ptr<Pivot> Pivot::createPivot(std::int32_t x, std::int32_t y, std::int32_t layer) {
  auto pivot = std::make_shared<Pivot>();
  pivot->x = static_cast<float>(x);
  pivot->y = static_cast<float>(y);
  pivot->layer = layer;
  return pivot;
}

bool Pivot::addRecord(const std::string& name, const std::string& value) {
  if (recordCount < 0 || recordCount >= kMaxRecords) return false;
  auto r = std::make_shared<record>();
  r->name = name;
  r->value = value;
  auto slot = static_cast<std::size_t>(recordCount++);
  if (records.size() <= slot) records.resize(slot + 1);
  records[slot] = std::move(r);
  return true;
}

void Pivot::write(base::ByteWriter& out, bool selected) const {
  writeFields(out, kPivotFields, *this, selected, [&] {
    out.int32(recordCount);
    for (std::int32_t i = 0; i < recordCount; ++i) records[static_cast<std::size_t>(i)]->write(out);
  });
}

void Pivot::read(base::ByteReader& in) {
  readFields(in, kPivotFields, *this, [&] {
    std::int32_t count = in.int32();
    if (count < 0 || count > kMaxRecords) throw base::FormatError("recordCount must lie in 0..255");
    recordCount = count;
    if (records.size() < static_cast<std::size_t>(count)) records.resize(static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < count; ++i) {
      auto r = std::make_shared<record>();
      r->read(in);
      records[static_cast<std::size_t>(i)] = std::move(r);
    }
  });
}

}  // namespace vorlane::map
