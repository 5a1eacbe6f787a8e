# Window templates: the image reader and the kind data. The library is built
# with coverage and sanitizers here so that the fuzzer sees inside it; whatever
# links it (the generator too) links the sanitizer runtimes.
target_compile_options(ui_template PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
target_link_options(ui_template INTERFACE -fsanitize=address,undefined)
add_fuzz_target(fuzz_template_image fuzz_template_image.cpp ui_template)
add_fuzz_target(fuzz_template_kinddata fuzz_template_kinddata.cpp ui_template)
