# FWU_SANITIZE=ON builds everything with AddressSanitizer and UndefinedBehaviorSanitizer.
option(FWU_SANITIZE "Build with ASan and UBSan" OFF)
if(FWU_SANITIZE AND NOT WIN32)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
