# An interface target that carries the sanitizer switches to whatever links it.
add_library(tk_sanitizers INTERFACE)
if(TK_FUZZ)
  # Every library gets the fuzzer's coverage hooks; only the fuzz targets
  # link the fuzzer's main (tk_fuzzer in fuzz/).
  target_compile_options(tk_sanitizers INTERFACE -fsanitize=fuzzer-no-link,address,undefined
                                                 -fno-omit-frame-pointer
                                                 -fno-sanitize-recover=undefined)
  target_link_options(tk_sanitizers INTERFACE -fsanitize=address,undefined)
elseif(TK_SANITIZE_THREAD)
  target_compile_options(tk_sanitizers INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(tk_sanitizers INTERFACE -fsanitize=thread)
elseif(TK_SANITIZE)
  target_compile_options(tk_sanitizers INTERFACE -fsanitize=address,undefined
                                                 -fno-omit-frame-pointer
                                                 -fno-sanitize-recover=undefined)
  target_link_options(tk_sanitizers INTERFACE -fsanitize=address,undefined)
endif()
