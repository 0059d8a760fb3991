# Sourced by the Wine scripts: WINEPREFIX is the prefix of the slot ctest gave this case
# (CTEST_RESOURCE_GROUP_0_WINEPREFIX is "id:<n>,slots:1") under FWU_WINE_PREFIX_BASE; with
# no slot, the first one's.
if [ -n "${FWU_WINE_PREFIX_BASE:-}" ]; then
  slot=${CTEST_RESOURCE_GROUP_0_WINEPREFIX:-id:0}
  slot=${slot#id:}
  export WINEPREFIX=$FWU_WINE_PREFIX_BASE-${slot%%,*}
fi
