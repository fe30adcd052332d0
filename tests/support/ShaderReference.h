#pragma once
// Independent C++ evaluation of the pixel programs' formulas, for checking the
// GPU programs pixel by pixel.

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <string>

namespace reference {

using Rgba = std::array<double, 4>;
using Sampler = std::function<Rgba(double u, double v)>;

inline Rgba mix(const Rgba &a, double wa, const Rgba &b, double wb)
{
    return {a[0] * wa + b[0] * wb, a[1] * wa + b[1] * wb, a[2] * wa + b[2] * wb,
            a[3] * wa + b[3] * wb};
}

// Lowest band i with lo·i <= v <= lo·(i+1).
inline int band(double v, double height, int count)
{
    for (int i = 0; i < count; ++i)
        if (height * i <= v && v <= height * (i + 1))
            return i;
    return count - 1;
}

// Output of a transition program at (u, v).
inline Rgba transition(const std::string &name, double u, double v, double p, double aspect,
                       const Sampler &from, const Sampler &to)
{
    const Rgba F = from(u, v), T = to(u, v);
    auto show = [&](bool toSide) { return toSide ? T : F; };
    if (name == "clip_banding") {
        const int i = band(v, 0.1, 10);
        return show(i % 2 == 0 ? u < p : u > 1 - p);
    }
    if (name == "clip_box")
        return show(std::abs(u - 0.5) < p / 2 && std::abs(v - 0.5) < p / 2);
    if (name == "clip_circle") {
        const double r = p / 2 * std::hypot(1.0, 1.0 / aspect);
        double ox = u - 0.5, oy = v - 0.5;
        if (aspect <= 1)
            ox *= aspect;
        else
            oy /= aspect;
        return show(std::hypot(ox, oy) <= r);
    }
    if (name == "clip_cross")
        return show(std::abs(u - 0.5) < p / 2 || std::abs(v - 0.5) < p / 2);
    if (name == "clip_herase")
        return show(u <= p);
    if (name == "clip_open")
        return show(std::abs(u - 0.5) < p / 2);
    if (name == "clip_radial") {
        if (std::abs(p - 1) < 0.0001)
            return T;
        return show(-std::sin(std::atan((v - 1) / u)) < p * 1.1);
    }
    if (name == "clip_winshades") {
        const int i = band(v, 0.2, 5);
        return show(v - 0.2 * i < p / 5);
    }
    if (name == "over_black" || name == "over_white") {
        const double k = name == "over_black" ? 0.0 : 1.0;
        const Rgba flat{k, k, k, 1};
        return p < 0.5 ? mix(F, 1 - 2 * p, flat, 2 * p) : mix(flat, 2 - 2 * p, T, 2 * p - 1);
    }
    if (name == "over_cross")
        return mix(T, p, F, 1 - p);
    if (name == "scale_boxes") {
        for (int i = 0; i <= 4; ++i)
            for (int j = 0; j <= 4; ++j)
                if (i * 0.25 <= u && u <= (i + 1) * 0.25 && j * 0.25 <= v && v <= (j + 1) * 0.25) {
                    const double cx = (2 * i + 1) * 0.125, cy = (2 * j + 1) * 0.125;
                    return show(std::abs(u - cx) < p / 8 && std::abs(v - cy) < p / 8);
                }
        return F;
    }
    if (name == "scale_in")
        return show(std::hypot(u - 0.5, v - 0.5) <= p);
    if (name == "trans_move")
        return u < p ? to(u + 1 - p, v) : from(u - p, v);
    return {0, 0, 0, 0};
}

struct BaseParams {
    double temperature = 0, hue = 0, brightness = 0, contrast = 0, saturation = 0, highlight = 0,
           transparent = 1;
};

// Output of "rgba_base" for one texel.
inline Rgba base(const Rgba &texel, const BaseParams &k)
{
    double c[3] = {texel[0], texel[1], texel[2]};
    const double t = k.temperature;
    const double cool[3] = {1 - std::abs(t) * 0.5, 1, 1 + std::abs(t) * 0.7};
    const double warm[3] = {1 + t * 0.8, 1, 1 - t * 0.4};
    const double w = std::clamp(t + 1, 0.0, 1.0);
    for (int i = 0; i < 3; ++i)
        c[i] *= cool[i] + (warm[i] - cool[i]) * w;
    const double a = k.hue * 3.1415926, cs = std::cos(a), sn = std::sin(a);
    const double rows[3][3] = {{0.299 + 0.701 * cs - 0.168 * sn, 0.587 - 0.587 * cs + 0.330 * sn,
                                0.114 - 0.114 * cs - 0.497 * sn},
                               {0.299 - 0.299 * cs - 0.328 * sn, 0.587 + 0.413 * cs + 0.035 * sn,
                                0.114 - 0.114 * cs + 0.293 * sn},
                               {0.299 - 0.300 * cs + 1.250 * sn, 0.587 - 0.588 * cs - 1.050 * sn,
                                0.114 + 0.886 * cs - 0.203 * sn}};
    double h[3] = {0, 0, 0};
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i)
            h[j] += c[i] * rows[i][j];
    for (int i = 0; i < 3; ++i) {
        c[i] = h[i] + k.brightness;
        c[i] = (c[i] - 0.5) * (k.contrast + 1) + 0.5;
    }
    const double grey = c[0] * 0.2126 + c[1] * 0.7152 + c[2] * 0.0722;
    for (int i = 0; i < 3; ++i)
        c[i] = std::min(grey + (c[i] - grey) * (k.saturation + 1) + k.highlight, 1.0);
    return {c[0], c[1], c[2], texel[3] * k.transparent};
}

} // namespace reference
