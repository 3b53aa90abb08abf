# cmake -DSOURCE=<x86 INF> -DDEST=<INF> -DDECORATION=<.ntx86|.ntamd64> -DVERSION=<1.1.0>
#       -P inf_for_arch.cmake
# Writes the INF file of an architecture: every ".ntx86" section decoration (in
# section headers and wherever a section is named) becomes DECORATION, and
# "@VERSION@" the project's version; nothing else changes, byte for byte.
cmake_minimum_required(VERSION 3.20)
file(READ "${SOURCE}" text)
string(REPLACE ".ntx86" "${DECORATION}" text "${text}")
string(REPLACE "@VERSION@" "${VERSION}" text "${text}")
file(WRITE "${DEST}" "${text}")
