// SPDX-License-Identifier: MIT
// The shared library is built from the norvex_core archive; this unit only gives CMake a source.
