# Warning set shared by every target of the project.
add_library(norvex_warnings INTERFACE)
target_compile_options(norvex_warnings INTERFACE -Wall -Wextra -Wpedantic)
