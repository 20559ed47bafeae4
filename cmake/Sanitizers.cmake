# SPDX-License-Identifier: GPL-3.0-or-later
# Applies the chosen sanitizers to everything built below this point.
if(NIMBREL_SANITIZE)
  add_compile_options(-fsanitize=${NIMBREL_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${NIMBREL_SANITIZE})
endif()
