#pragma once

// The release of the programs, as --version prints it. Kept equal to the
// VERSION of the top-level CMake project, which names the package.
inline constexpr const char* kKalveroVersion = "1.0";
