# SPDX-License-Identifier: ISC
# Read by cpack for each generator: what goes into its one package. The .deb
# takes the Debian copyright file and changelog in place of LICENSE, which
# lintian would call an extra license file, and puts the zsh completion where
# Debian's zsh looks.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_COMPONENTS_ALL Unspecified gzman deb)
else()
  set(CPACK_COMPONENTS_ALL Unspecified gzman license zsh)
endif()
