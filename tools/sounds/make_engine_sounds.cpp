// Writes the engine sounds of the base folder from data/sounds/engines.txt: the sound
// tables, their raw 16-bit samples (synthesised firing pulses, a whole number of
// engine cycles per cell) and the ".braap" definitions.
// Deterministic: the same description always gives the same bytes.
//
//   make_engine_sounds <engines.txt> <folder>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct column {
    double load = 0, peak = 0.4, decay = 2;
    std::vector<double> harmonics;
};

struct remap_list {
    int row = 0, col = 0;
    std::vector<int> order;
};

struct table {
    std::string name;
    double firings = 1;
    uint32_t seed = 1;
    std::vector<double> rows;
    std::vector<int> cycles;
    std::vector<column> columns;
    double level_jitter = 0, phase_jitter = 0;
    std::vector<remap_list> remaps;
};

// A small generator of our own (xorshift32): the same seed, the same sounds.
struct noise {
    uint32_t state;
    double next()   // -1 .. 1
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<double>(state) / 2147483647.5 - 1.0;
    }
};

bool write_bytes(const fs::path& path, const std::string& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (out)
        return true;
    fprintf(stderr, "make_engine_sounds: cannot write %s\n", path.c_str());
    return false;
}

// One cell: `cycles` firing pulses at `rpm`, each round(44100 x 60 / (firings x rpm))
// samples long, scaled so the loudest sample is `peak` of full scale.
std::string cell_samples(const table& t, const column& c, double rpm, int cycles, noise& rng)
{
    const double pi = 3.14159265358979323846;
    const int period = static_cast<int>(std::lround(44100.0 * 60.0 / (t.firings * rpm)));
    std::vector<double> wave;
    for (int k = 0; k < cycles; ++k) {
        double level = 1.0 + t.level_jitter * rng.next();
        double shift = t.phase_jitter * rng.next();
        for (int i = 0; i < period; ++i) {
            double x = static_cast<double>(i) / period;
            double pulse = 0;
            for (size_t h = 0; h < c.harmonics.size(); ++h)
                pulse += c.harmonics[h] * std::sin(2 * pi * static_cast<double>(h + 1) * (x + shift));
            wave.push_back(level * pulse * std::exp(-c.decay * x) * std::sin(pi * x));
        }
    }
    double loudest = 1e-9;
    for (double v : wave)
        loudest = std::fmax(loudest, std::fabs(v));
    std::string bytes;
    for (double v : wave) {
        auto s = static_cast<int16_t>(std::lround(v / loudest * c.peak * 32767.0));
        bytes += static_cast<char>(s & 0xFF);
        bytes += static_cast<char>((s >> 8) & 0xFF);
    }
    return bytes;
}

bool write_table(const table& t, const fs::path& folder)
{
    if (t.rows.empty() || t.columns.empty() || t.cycles.size() != t.rows.size()) {
        fprintf(stderr, "make_engine_sounds: table %s is incomplete\n", t.name.c_str());
        return false;
    }
    noise rng{t.seed};
    std::ostringstream text;
    text << "SOUNDTABLE " << t.rows.size() << " " << t.columns.size() << "\n";
    for (double r : t.rows)
        text << r << " ";
    text << "\n";
    for (const column& c : t.columns)
        text << c.load << " ";
    text << "\n";
    for (size_t i = 0; i < t.rows.size(); ++i)
        for (size_t j = 0; j < t.columns.size(); ++j) {
            std::string sample = "sounds/" + t.name + "_" + std::to_string(i) + "_" + std::to_string(j) + ".raw";
            if (!write_bytes(folder / sample, cell_samples(t, t.columns[j], t.rows[i], t.cycles[i], rng)))
                return false;
            for (const remap_list& m : t.remaps)
                if (m.row == static_cast<int>(i) && m.col == static_cast<int>(j))
                    for (int v : m.order)
                        text << v << " ";
            text << "-1 " << t.cycles[i] << " @" << sample << "\n";
        }
    return write_bytes(folder / ("sounds/" + t.name + ".table"), text.str());
}

template <class T>
std::vector<T> numbers(std::istringstream& in)
{
    std::vector<T> out;
    T v;
    while (in >> v)
        out.push_back(v);
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: make_engine_sounds <engines.txt> <folder>\n");
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        fprintf(stderr, "make_engine_sounds: cannot read %s\n", argv[1]);
        return 1;
    }
    const fs::path folder = argv[2];
    std::vector<table> tables;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string key;
        if (!(words >> key) || key[0] == '#')
            continue;
        if (key == "table") {
            tables.emplace_back();
            words >> tables.back().name >> tables.back().firings >> tables.back().seed;
        } else if (key == "definition") {
            std::string name, body, text;
            words >> name;
            while (std::getline(in, body) && body != "end")
                text += body + "\n";
            if (!write_bytes(folder / name, text))
                return 1;
        } else if (tables.empty()) {
            fprintf(stderr, "make_engine_sounds: '%s' before any table\n", key.c_str());
            return 1;
        } else if (key == "rows") {
            tables.back().rows = numbers<double>(words);
        } else if (key == "cycles") {
            tables.back().cycles = numbers<int>(words);
        } else if (key == "column") {
            column c;
            words >> c.load >> c.peak >> c.decay;
            c.harmonics = numbers<double>(words);
            tables.back().columns.push_back(c);
        } else if (key == "jitter") {
            words >> tables.back().level_jitter >> tables.back().phase_jitter;
        } else if (key == "remap") {
            remap_list m;
            words >> m.row >> m.col;
            m.order = numbers<int>(words);
            tables.back().remaps.push_back(m);
        } else {
            fprintf(stderr, "make_engine_sounds: unknown line '%s'\n", line.c_str());
            return 1;
        }
    }
    for (const table& t : tables)
        if (!write_table(t, folder))
            return 1;
    return 0;
}
