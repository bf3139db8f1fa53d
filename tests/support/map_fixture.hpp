// Builds GSAS Fourier map files byte for byte, for tests of every stage.
#pragma once

#include "common/fourier_map.hpp"

#include <cstdint>
#include <string>
#include <vector>

// One section as the file holds it: nrho values, then two tail words.
struct MapSection {
    std::vector<float> values;
    std::uint32_t tail[2] = {};
};
using MapSections = std::vector<MapSection>;

// A header for a map of nxyzt points with nrho = nxyzt[0] * nxyzt[1]; cell 10 10 10 90 90 90.
grix::MapHeader make_map_header(int across, int down, int sections, int msect = 3);

// Sections whose values say where they came from: 100 x section + 10 x down + across.
MapSections make_tagged_sections(const grix::MapHeader& header);

// The map as the reader gives it from a file of `header` and `sections`, unchecked:
// each section's first across x down values (0 where a section holds fewer).
grix::FourierMap make_map(const grix::MapHeader& header, const MapSections& sections);

// The file image: record 1 (texts and cell, zero padded), record 2 (grid words), each
// `record_size` bytes, then every section's nrho values and its two tail words.
std::string encode_map_file(const grix::MapHeader& header, const MapSections& sections,
                            int record_size = 512);

// A Gaussian atom of the given height, 0.35 Angstrom wide, at fractional x y z.
struct DensitySite {
    double x, y, z, height;
};

// Sections holding the sum of the sites' Gaussians (each from its nearest lattice
// repeat) at the header's grid points; an orthogonal cell and sections along z.
MapSections make_site_sections(const grix::MapHeader& header,
                                     const std::vector<DensitySite>& sites);
