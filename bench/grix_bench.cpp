// How fast the writers turn a large map into a file: for each grid size and format, the
// plain reference (interpolation from scratch and printf for every value, the densities
// alone), the shipped writer (what grix runs) and the floor (the same number of prepared bytes written to the same
// file the same way), all on the same generated map in one run. Every
// measurement runs in a child process of its own, so that its peak memory can be read.
//
//   grix_bench [--sizes 64,128,192] [--msect 1|2|3] [--formats ASCII,WINGX,MARCH,XD]
//              [--threads N] [--precision P] [--repeat N] [--dir DIR]
//
// Each measurement runs --repeat times (3) and the fastest run counts, since other work
// on the machine only ever slows a run down.

#include "geometry/cell.hpp"
#include "geometry/grid.hpp"
#include "readers/map_file.hpp"
#include "reference/reference.hpp"
#include "writers/formats.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace grix;

namespace {

struct Settings {
    std::vector<int> sizes{64, 128, 192};
    std::vector<std::string> formats{"ASCII", "WINGX", "MARCH", "XD"};
    int msect = 3;
    int threads = 0;
    int precision = 3;
    int repeat = 3;  // runs of each measurement; the fastest counts
    std::string dir = ".";
};

enum class Measure { plain, shipped, floor };

// What a child sends back through its pipe.
struct Result {
    double seconds = 0;
    double synced_seconds = 0;  // until the file is on the disk
    double cpu_seconds = 0;     // of all the process's threads
    double bytes = 0;
    double values = 0;
};

struct Outcome {
    Result result;
    double peak_mib = 0;
};

// A triclinic cell, as oblique as real low-symmetry structures get.
constexpr float CELL[6] = {9.3f, 10.1f, 8.7f, 84.0f, 97.0f, 109.0f};

struct BenchMap {
    FourierMap map;
    Phase phase;
    Cell cell;
};

// An n x n x n map over one cell: a smooth density with peaks and troughs, values of a
// few hundred with both signs, as a Fourier map has them.
BenchMap make_map(int n, int msect)
{
    BenchMap bench;
    FourierMap& map = bench.map;
    std::strcpy(map.header.title, "benchmark map");
    std::strcpy(map.header.maptyp, "FCLC");
    for (int d = 0; d < 3; ++d) {
        map.header.nxyzi[d] = n;
        map.header.nxyzt[d] = n;
    }
    map.header.msect = msect;
    map.header.nrho = n * n;
    map.geometry = lay_map_geometry(map.header);
    map.values = MapValues(map.geometry.section_points(), static_cast<std::size_t>(n));
    const double turn = 2 * 3.14159265358979 / n;
    for (int k = 0; k < n; ++k) {
        float* values = map.values.section(static_cast<std::size_t>(k));
        for (int j = 0; j < n; ++j) {
            for (int i = 0; i < n; ++i) {
                const double rho = 180 * std::sin(2 * turn * i) * std::cos(3 * turn * j) *
                                       std::sin(turn * k + 0.4) +
                                   60 * std::cos(5 * turn * (i + j - k));
                values[static_cast<std::size_t>(i + j * n)] = static_cast<float>(rho);
            }
        }
    }
    Phase& phase = bench.phase;
    phase.cell = {CELL[0], CELL[1], CELL[2], CELL[3], CELL[4], CELL[5]};
    phase.atoms = {{"SI", "SI1        ", 0.47f, 0.0f, 0.33f, 1.0f},
                   {"O ", "O2         ", 0.41f, 0.27f, 0.0f, 1.0f}};
    phase.atom_count = 2;
    bench.cell = orthogonalise_cell(phase.cell);
    return bench;
}

const OutputFormat& format_named(const std::string& name)
{
    const OutputFormat* format = find_format_named(name);
    if (format == nullptr) {
        std::cerr << "unknown format " << name << "\n";
        std::exit(2);
    }
    return *format;
}

// Values the format writes: the map's points, or those of the Cartesian grid.
double count_values(const BenchMap& bench, const OutputFormat& format)
{
    if (!format.resamples())
        return std::pow(static_cast<double>(bench.map.header.nxyzt[0]), 3);
    const GridCounts counts = count_grid_points(cartesian_box(bench.cell, bench.map.geometry));
    return static_cast<double>(counts.nx) * counts.ny * counts.nz;
}

std::string path_of(const Settings& settings, const OutputFormat& format)
{
    return settings.dir + "/bench" + std::string(format.extension);
}

// The shipped writer's whole file, or the reference's densities alone.
void write_format(const BenchMap& bench, const OutputFormat& format, const std::string& path,
                  const Settings& settings, Measure what)
{
    const Conversion conversion{bench.map, bench.phase, settings.precision, settings.threads};
    OutputFile file = open_output_file(path, format.mode);
    if (what == Measure::shipped) {
        FileSink sink(file);
        if (format.resamples())
            std::get<WriteResampled>(format.write)(
                {conversion, bench.cell, lay_cartesian_grid(bench.cell, bench.map.geometry)},
                sink);
        else
            std::get<WriteMap>(format.write)(conversion, sink);
        sink.flush();
    } else if (format.name == "ASCII") {
        write_output(file, plain_ascii_sections(bench.map, settings.precision));
    } else if (format.name == "WINGX") {
        write_output(file, plain_wingx_densities(bench.map));
    } else if (format.name == "MARCH") {
        write_output(file, plain_marching_cube_blocks(bench.cell, bench.map));
    } else {
        write_output(file, plain_xd_values(bench.cell, bench.map));
    }
    close_output_file(file);
}

// User and system time of the whole process so far.
double cpu_seconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& time) { return time.tv_sec + time.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Seconds since `start` once the file's data have reached the disk.
double seconds_to_disk(const std::string& path, std::chrono::steady_clock::time_point start)
{
    const int descriptor = ::open(path.c_str(), O_WRONLY);
    if (descriptor < 0 || ::fdatasync(descriptor) != 0) {
        std::perror(path.c_str());
        std::exit(1);
    }
    ::close(descriptor);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Writes `bytes` prepared bytes through the writers' own file handling: one prepared
// block the size of the writers' pieces, written over and over, so that only the cost
// of handing bytes to the file is measured, as the writers hand over pieces still in
// the processor's cache.
void write_floor(double bytes, const OutputFormat& format, const std::string& path,
                 Result& result)
{
    std::string block(OutputSink::CHUNK_BYTES, '7');
    for (std::size_t at = 15; at < block.size(); at += 16)
        block[at] = '\n';
    const auto total = static_cast<std::size_t>(bytes);
    const double cpu_start = cpu_seconds();
    const auto start = std::chrono::steady_clock::now();
    OutputFile file = open_output_file(path, format.mode);
    for (std::size_t at = 0; at < total; at += block.size())
        write_output(file, block.data(), std::min(block.size(), total - at));
    close_output_file(file);
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.cpu_seconds = cpu_seconds() - cpu_start;
    result.synced_seconds = seconds_to_disk(path, start);
    result.bytes = bytes;
}

Result measure(Measure what, int size, const OutputFormat& format, double floor_bytes,
               const Settings& settings)
{
    const std::string path = path_of(settings, format);
    Result result;
    if (what == Measure::floor) {
        write_floor(floor_bytes, format, path, result);
        return result;
    }
    const BenchMap bench = make_map(size, settings.msect);
    result.values = count_values(bench, format);
    const double cpu_start = cpu_seconds();
    const auto start = std::chrono::steady_clock::now();
    write_format(bench, format, path, settings, what);
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.cpu_seconds = cpu_seconds() - cpu_start;
    result.synced_seconds = seconds_to_disk(path, start);
    result.bytes = static_cast<double>(std::filesystem::file_size(path));
    return result;
}

// Runs one measurement in a child process, from a clean start: no output file, and the
// dirty pages of the last measurement on their way to the disk.
Outcome run_child(Measure what, int size, const OutputFormat& format, double floor_bytes,
                  const Settings& settings)
{
    std::filesystem::remove(path_of(settings, format));
    ::sync();
    int channel[2];
    if (::pipe(channel) != 0) {
        std::perror("pipe");
        std::exit(1);
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        const Result result = measure(what, size, format, floor_bytes, settings);
        const bool sent = ::write(channel[1], &result, sizeof result) == sizeof result;
        std::_Exit(sent ? 0 : 1);
    }
    ::close(channel[1]);
    Outcome outcome;
    const bool received = ::read(channel[0], &outcome.result, sizeof outcome.result) ==
                          static_cast<ssize_t>(sizeof outcome.result);
    ::close(channel[0]);
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    if (!received || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::cerr << "measurement failed\n";
        std::exit(1);
    }
    outcome.peak_mib = static_cast<double>(usage.ru_maxrss) / 1024;  // kilobytes on Linux
    return outcome;
}

// The fastest of the repeated runs, with the highest peak memory of them all.
Outcome best_of(Measure what, int size, const OutputFormat& format, double floor_bytes,
                const Settings& settings)
{
    Outcome best = run_child(what, size, format, floor_bytes, settings);
    for (int run = 1; run < settings.repeat; ++run) {
        const Outcome next = run_child(what, size, format, floor_bytes, settings);
        const double peak = std::max(best.peak_mib, next.peak_mib);
        if (next.result.seconds < best.result.seconds)
            best = next;
        best.peak_mib = peak;
    }
    return best;
}

// Whether the shipped file holds the reference's densities where its format puts them.
bool holds_densities(const OutputFormat& format, const std::string& shipped_path,
                     const std::string& plain_path)
{
    auto read = [](const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    };
    const std::string shipped = read(shipped_path), plain = read(plain_path);
    std::size_t at = shipped.size() - std::min(plain.size(), shipped.size());
    if (format.name == "WINGX")
        at = 76;
    else if (format.name == "MARCH")
        at = shipped.find("BLOCK \n");
    return at != std::string::npos && shipped.compare(at, plain.size(), plain) == 0;
}

std::vector<std::string> split_list(const std::string& text)
{
    std::vector<std::string> items;
    std::stringstream stream(text);
    for (std::string item; std::getline(stream, item, ',');)
        items.push_back(item);
    return items;
}

Settings read_settings(int argc, char** argv)
{
    Settings settings;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i], value = argv[i + 1];
        if (option == "--sizes") {
            settings.sizes.clear();
            for (const std::string& size : split_list(value))
                settings.sizes.push_back(std::stoi(size));
        } else if (option == "--formats") {
            settings.formats = split_list(value);
        } else if (option == "--msect") {
            settings.msect = std::stoi(value);
        } else if (option == "--threads") {
            settings.threads = std::stoi(value);
        } else if (option == "--precision") {
            settings.precision = std::stoi(value);
        } else if (option == "--repeat") {
            settings.repeat = std::max(1, std::stoi(value));
        } else if (option == "--dir") {
            settings.dir = value;
        } else {
            std::cerr << "unknown option " << option << "\n";
            std::exit(2);
        }
    }
    return settings;
}

}  // namespace

int main(int argc, char** argv)
{
    const Settings settings = read_settings(argc, argv);
    std::printf("msect %d, cell %.1f %.1f %.1f %.0f %.0f %.0f, ASCII precision %d, "
                "threads %d (0: one per core), fastest of %d runs\n\n",
                settings.msect, CELL[0], CELL[1], CELL[2], CELL[3], CELL[4], CELL[5],
                settings.precision, settings.threads, settings.repeat);
    std::printf("| grid | format | values | MB | plain s | shipped s | floor s | Mvalues/s | "
                "plain/shipped | shipped/floor | on disk: shipped s, floor s, ratio | "
                "shipped CPU s | peak MiB | map MiB |\n");
    std::printf("|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const int size : settings.sizes) {
        const double map_mib = std::pow(static_cast<double>(size), 3) * 4 / (1 << 20);
        for (const std::string& name : settings.formats) {
            const OutputFormat& format = format_named(name);
            const std::string path = path_of(settings, format);
            const Outcome plain = best_of(Measure::plain, size, format, 0, settings);
            std::filesystem::rename(path, path + ".plain");
            const Outcome shipped = best_of(Measure::shipped, size, format, 0, settings);
            const bool same = holds_densities(format, path, path + ".plain");
            std::filesystem::remove(path + ".plain");
            if (!same) {
                std::cerr << "the shipped writer and the reference wrote different densities\n";
                return 1;
            }
            const Outcome floor =
                best_of(Measure::floor, size, format, shipped.result.bytes, settings);
            const Result& p = plain.result;
            const Result& s = shipped.result;
            const Result& f = floor.result;
            std::printf("| %d^3 | %s | %.0f | %.1f | %.3f | %.3f | %.3f | %.1f | %.1f | %.2f | "
                        "%.3f, %.3f, %.2f | %.3f | %.1f | %.1f |\n",
                        size, name.c_str(), s.values, s.bytes / 1e6, p.seconds, s.seconds,
                        f.seconds, s.values / s.seconds / 1e6, p.seconds / s.seconds,
                        s.seconds / f.seconds, s.synced_seconds, f.synced_seconds,
                        s.synced_seconds / f.synced_seconds, s.cpu_seconds, shipped.peak_mib,
                        map_mib);
            std::fflush(stdout);
        }
    }
    for (const OutputFormat& format : output_formats())
        std::filesystem::remove(path_of(settings, format));
    return 0;
}
