# SPDX-License-Identifier: MIT
# AddressSanitizer + UndefinedBehaviorSanitizer for the whole build when NORVEX_SANITIZE is on.
if(NORVEX_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
