#pragma once
// Bakes the light map of a TMX or TMJ map and writes the map back as it was, with only its
// tile layers' data and its tilesets replaced by the lit tiles (in atlas PNGs beside it).
// Games keep their layer names, objects, properties and collision shapes.
#include <cstdint>
#include <string>

#include "formats/formats.h"
#include "lighting/render.h"

namespace vorlane::formats {

struct BakeMapRequest {
  std::int32_t width = lighting::kDefaultResolution, height = lighting::kDefaultResolution;
  bool soft = false;
  lighting::Options options;
  std::int32_t threads = 0;
  std::int32_t maxAtlasSide = 4096;
};

// Reads `input` as import does (lights from point objects; nothing refused for what a project
// could not hold), bakes it as a project bake would and writes `output` in the same syntax.
// Errors begin with the file they concern; nothing is left written after one.
base::Result<Notes> bakeMapFile(const std::string& input, const std::string& output, const BakeMapRequest& request,
                                const lighting::Progress& progress = {});

}  // namespace vorlane::formats
