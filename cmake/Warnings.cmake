# SPDX-License-Identifier: MIT
# Warning set shared by every target of the project. NORVEX_WERROR turns the warnings into errors;
# CI builds set it, so that a warning cannot land.
option(NORVEX_WERROR "Treat compiler warnings as errors" OFF)
add_library(norvex_warnings INTERFACE)
target_compile_options(norvex_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow
  $<$<BOOL:${NORVEX_WERROR}>:-Werror>)
