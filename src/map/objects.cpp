#include "map/objects.h"

#include "base/convert.h"

namespace vorlane::map {

LightPtr Light::createLight(float x, float y, float layer, float red, float green, float blue) {
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
  out.float32(red);
  out.float32(green);
  out.float32(blue);
  out.float32(x);
  out.float32(y);
  out.int32(layer);
  out.int32(selected ? 1 : 0);
  out.float32(range);
  out.int32(castShadows);
}

void Light::read(base::ByteReader& in) {
  red = in.float32();
  green = in.float32();
  blue = in.float32();
  x = in.float32();
  y = in.float32();
  layer = in.int32();
  in.int32();  // selected
  range = in.float32();
  castShadows = in.int32();
}

void record::write(base::ByteWriter& out) const {
  out.line(name);
  out.line(value);
}

void record::read(base::ByteReader& in) {
  name = in.line();
  value = in.line();
}

PivotPtr Pivot::createPivot(std::int32_t x, std::int32_t y, std::int32_t layer) {
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
  out.float32(x);
  out.float32(y);
  out.int32(layer);
  out.line(link);
  out.int32(recordCount);
  for (std::int32_t i = 0; i < recordCount; ++i) records[static_cast<std::size_t>(i)]->write(out);
  out.int32(selected ? 1 : 0);
}

void Pivot::read(base::ByteReader& in) {
  x = in.float32();
  y = in.float32();
  layer = in.int32();
  link = in.line();
  std::int32_t count = in.int32();
  if (count < 0 || count > kMaxRecords) throw base::FormatError("recordCount must lie in 0..255");
  recordCount = count;
  if (records.size() < static_cast<std::size_t>(count)) records.resize(static_cast<std::size_t>(count));
  for (std::int32_t i = 0; i < count; ++i) {
    auto r = std::make_shared<record>();
    r->read(in);
    records[static_cast<std::size_t>(i)] = std::move(r);
  }
  in.int32();  // selected
}

}  // namespace vorlane::map
