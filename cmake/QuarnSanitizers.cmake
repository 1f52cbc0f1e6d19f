# Sanitizer builds: QUARN_SANITIZE=address gives AddressSanitizer with UndefinedBehaviorSanitizer,
# QUARN_SANITIZE=thread gives ThreadSanitizer. Applied to everything built here.
if(QUARN_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
elseif(QUARN_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT QUARN_SANITIZE STREQUAL "")
  message(FATAL_ERROR "QUARN_SANITIZE must be empty, address or thread")
endif()
