#pragma once
// The objects a map holds besides tiles: coloured point lights and pivots with records.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/bytes.h"

namespace vorlane::map {

// Common base of lights and pivots; no fields of its own.
struct MapObject {
  virtual ~MapObject() = default;
};

struct Light;
struct Pivot;
struct record;
// Once in a map, an object is read-only: it changes through an editor command, or a script's
// write into its own copy. Code that makes one holds it writable until it hands it over.
using LightPtr = std::shared_ptr<const Light>;
using PivotPtr = std::shared_ptr<const Pivot>;
using RecordPtr = std::shared_ptr<const record>;

struct Light : MapObject {
  float red = 0, green = 0, blue = 0;
  float x = 0, y = 0;  // map pixels
  std::int32_t layer = 0;
  float range = 700;
  std::int32_t castShadows = 0;

  static std::shared_ptr<Light> createLight(float x, float y, float layer, float red, float green, float blue);
  // 36 bytes; `selected` is whether the editor shows the light as selected, which a file keeps
  // and a read passes over.
  void write(base::ByteWriter& out, bool selected = false) const;
  void read(base::ByteReader& in);
};

// One name/value pair of a pivot.
struct record {
  std::string name;
  std::string value;
  void write(base::ByteWriter& out) const;
  void read(base::ByteReader& in);
};

inline constexpr std::int32_t kMaxRecords = 255;
inline constexpr const char* kRecordsFull = "A pivot holds at most 255 records.";

struct Pivot : MapObject {
  float x = 0, y = 0;
  std::int32_t layer = 0;
  std::string link;
  // Slots 0 .. recordCount - 1 are in use; slots above may keep records left by deletion.
  // Up to 255 slots, made as records arrive so that a pivot costs what it holds.
  std::vector<RecordPtr> records;
  std::int32_t recordCount = 0;

  static std::shared_ptr<Pivot> createPivot(std::int32_t x, std::int32_t y, std::int32_t layer);
  // Appends a record; returns false (and stores nothing) when all 255 slots are in use.
  bool addRecord(const std::string& name, const std::string& value);
  // `selected` as for a light.
  void write(base::ByteWriter& out, bool selected = false) const;
  // Throws base::FormatError when recordCount lies outside 0..255.
  void read(base::ByteReader& in);
};

}  // namespace vorlane::map
