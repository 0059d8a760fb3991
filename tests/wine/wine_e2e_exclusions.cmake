# End-to-end cases that cannot run under Wine, by gtest name, each with its reason.
set(FWU_WINE_SKELDER_EXCLUDED)
set(FWU_WINE_NORRIX_EXCLUDED)
set(FWU_WINE_MARLISK_EXCLUDED)
