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
using LightPtr = std::shared_ptr<Light>;
using PivotPtr = std::shared_ptr<Pivot>;
using RecordPtr = std::shared_ptr<record>;

struct Light : MapObject {
  float red = 0, green = 0, blue = 0;
  float x = 0, y = 0;  // map pixels
  std::int32_t layer = 0;
  mutable std::int32_t selected = 0;  // selection state, until it leaves the model
  float range = 700;
  std::int32_t castShadows = 0;
  // Light factors 0..255 indexed [texel x][texel y] at (x * lightmapHeight + y); renderer
  // working data, never saved.
  std::vector<std::uint8_t> shadowMap;

  static LightPtr createLight(float x, float y, float layer, float red, float green, float blue);
  void write(base::ByteWriter& out) const;  // 36 bytes
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
  mutable std::int32_t selected = 0;  // selection state, until it leaves the model

  static PivotPtr createPivot(std::int32_t x, std::int32_t y, std::int32_t layer);
  // Appends a record; returns false (and stores nothing) when all 255 slots are in use.
  bool addRecord(const std::string& name, const std::string& value);
  void write(base::ByteWriter& out) const;
  // Throws base::FormatError when recordCount lies outside 0..255.
  void read(base::ByteReader& in);
};

}  // namespace vorlane::map
