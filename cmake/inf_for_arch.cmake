# cmake -DSOURCE=<x86 INF> -DDEST=<INF> -DDECORATION=<.ntamd64> -P inf_for_arch.cmake
# Writes the INF file for another architecture: every ".ntx86" section decoration
# (in section headers and wherever a section is named) becomes DECORATION; nothing
# else changes, byte for byte.
file(READ "${SOURCE}" text)
string(REPLACE ".ntx86" "${DECORATION}" text "${text}")
file(WRITE "${DEST}" "${text}")
