#pragma once

#include <array>

/** The IDs of Ostrel's eleven automatable parameters, in the order the host sees them. */
namespace ParamIDs
{
inline constexpr const char* power = "power";
inline constexpr const char* mode = "mode";
inline constexpr const char* input = "input";
inline constexpr const char* shape = "shape";
inline constexpr const char* ceiling = "ceiling";
inline constexpr const char* output = "output";
inline constexpr const char* master = "master";
inline constexpr const char* mix = "mix";
inline constexpr const char* edge = "edge";
inline constexpr const char* lowProtect = "lowProtect";
inline constexpr const char* oversampling = "oversampling";

inline constexpr std::array<const char*, 11> all { power,  mode, input, shape,      ceiling,     output,
                                                   master, mix,  edge,  lowProtect, oversampling };
} // namespace ParamIDs
