#include "support/map_fixture.hpp"

#include "common/byte_order.hpp"
#include "readers/map_file.hpp"

#include <algorithm>

#include <cmath>
#include <cstdint>
#include <cstring>

using namespace grix;

namespace {

void append_text(std::string& bytes, const char* text, std::size_t width)
{
    std::string field(text, strnlen(text, width));
    field.resize(width, ' ');
    bytes += field;
}

}  // namespace

MapHeader make_map_header(int across, int down, int sections, int msect)
{
    MapHeader header;
    std::strcpy(header.title, "test map");
    std::strcpy(header.phase, "test phase");
    std::strcpy(header.maptyp, "FCLC");
    const float cell[7] = {10, 10, 10, 90, 90, 90, 1000};
    std::memcpy(header.cell, cell, sizeof cell);
    const int counts[3] = {across, down, sections};
    for (int d = 0; d < 3; ++d) {
        header.nxyzi[d] = 20;
        header.nxyzo[d] = 0;
        header.nxyzt[d] = counts[d];
    }
    header.msect = msect;
    header.nrho = across * down;
    header.rmax = 1;
    header.rmin = -1;
    header.srho = 0.5f;
    return header;
}

MapSections make_tagged_sections(const MapHeader& header)
{
    MapSections sections(static_cast<std::size_t>(header.nxyzt[2]));
    for (int k = 0; k < header.nxyzt[2]; ++k) {
        MapSection& section = sections[static_cast<std::size_t>(k)];
        section.values.resize(static_cast<std::size_t>(header.nrho));
        for (int j = 0; j < header.nxyzt[1]; ++j)
            for (int i = 0; i < header.nxyzt[0]; ++i)
                section.values[static_cast<std::size_t>(i + j * header.nxyzt[0])] =
                    static_cast<float>(100 * k + 10 * j + i);
        section.tail[0] = 0xDEADBEEF;
        section.tail[1] = static_cast<std::uint32_t>(k);
    }
    return sections;
}

FourierMap make_map(const MapHeader& header, const MapSections& sections)
{
    FourierMap map{header, lay_map_geometry(header), {}};
    const std::size_t points = map.geometry.section_points();
    const auto count = static_cast<std::size_t>(header.nxyzt[2]);
    map.values = MapValues(points, count);
    for (std::size_t k = 0; k < count; ++k) {
        float* section = map.values.section(k);
        std::fill_n(section, points, 0.0f);
        if (k < sections.size())
            std::copy_n(sections[k].values.begin(), std::min(points, sections[k].values.size()),
                        section);
    }
    return map;
}

std::string encode_map_file(const MapHeader& header, const MapSections& sections,
                            int record_size)
{
    std::string bytes;
    append_text(bytes, header.phase, 66);
    append_text(bytes, header.title, 66);
    append_text(bytes, header.maptyp, 4);
    for (float value : header.cell)
        append_float32(bytes, value);
    bytes.resize(static_cast<std::size_t>(record_size), '\0');

    for (const auto* triple : {header.nxyzi, header.nxyzo, header.nxyzt})
        for (int d = 0; d < 3; ++d)
            append_int32(bytes, triple[d]);
    append_int32(bytes, header.msect);
    append_int32(bytes, header.nrho);
    append_float32(bytes, header.rmax);
    append_float32(bytes, header.rmin);
    append_float32(bytes, header.srho);
    bytes.resize(2 * static_cast<std::size_t>(record_size), '\0');

    for (const MapSection& section : sections) {
        for (float value : section.values)
            append_float32(bytes, value);
        append_le32(bytes, section.tail[0]);
        append_le32(bytes, section.tail[1]);
    }
    return bytes;
}

MapSections make_site_sections(const MapHeader& header, const std::vector<DensitySite>& sites)
{
    const double edges[3] = {header.cell[0], header.cell[1], header.cell[2]};
    const double width = 0.35;
    auto density = [&](const double (&point)[3]) {
        double sum = 0;
        for (const DensitySite& site : sites) {
            const double at[3] = {site.x, site.y, site.z};
            double squared = 0;
            for (int a = 0; a < 3; ++a) {
                const double d = point[a] - at[a];
                squared += std::pow((d - std::round(d)) * edges[a], 2);
            }
            sum += site.height * std::exp(-squared / (2 * width * width));
        }
        return static_cast<float>(sum);
    };
    MapSections sections(static_cast<std::size_t>(header.nxyzt[2]));
    for (int k = 0; k < header.nxyzt[2]; ++k) {
        for (int j = 0; j < header.nxyzt[1]; ++j) {
            for (int i = 0; i < header.nxyzt[0]; ++i) {
                const int index[3] = {i, j, k};
                double point[3];
                for (int a = 0; a < 3; ++a)
                    point[a] = static_cast<double>(index[a] + header.nxyzo[a]) / header.nxyzi[a];
                sections[static_cast<std::size_t>(k)].values.push_back(density(point));
            }
        }
    }
    return sections;
}
