// The stock collision shapes of the bike, the rider and the start gate, fitted to the
// generated models: each sphere in the coordinates of the body that carries it.
#pragma once
#include <string>
#include <vector>

namespace bikedata {

struct sphere {
    double x, y, z, radius;
    double friction = 0.6, spring = 10000, damping = 500;
};

struct shape_file {
    std::string name;     // file name in the base data, without the '@'
    std::vector<sphere> spheres;
};

std::vector<shape_file> stock_shapes();
// The ".shp" text: the count, then one line per sphere.
std::string shape_text(const shape_file& shape);

}  // namespace bikedata
